#include "cuda/call_checks.h"

#include <stdexcept>
#include <string>

namespace gemm {
namespace {

// A library without a message for the status gets the status number instead.
[[noreturn]] void ThrowLabelled(const char* label, const char* message, const char* library,
                                int status) {
    throw std::runtime_error(std::string(label) + ": " +
                             (message != nullptr ? std::string(message)
                                                 : library + std::to_string(status)));
}

}  // namespace

void ThrowCudaError(CudaRuntimeApi& cuda, const char* label, cudaError_t status) {
    ThrowLabelled(label, cuda.cudaGetErrorString(status), "CUDA error ", status);
}

void ThrowCublasError(CublasApi& cublas, const char* label, cublasStatus_t status) {
    ThrowLabelled(label, cublas.cublasGetStatusString(status), "cuBLAS status ", status);
}

}  // namespace gemm
