#pragma once
// Turning a failed CUDA or cuBLAS call into the run's error: the call's label, ": " and the
// library's own message.

#include "cuda/nvidia_api.h"

namespace gemm {

[[noreturn]] void ThrowCudaError(CudaRuntimeApi& cuda, const char* label, cudaError_t status);

inline void CheckCuda(CudaRuntimeApi& cuda, cudaError_t status, const char* label) {
    if (status != cudaSuccess) ThrowCudaError(cuda, label, status);
}

[[noreturn]] void ThrowCublasError(CublasApi& cublas, const char* label, cublasStatus_t status);

inline void CheckCublas(CublasApi& cublas, cublasStatus_t status, const char* label) {
    if (status != CUBLAS_STATUS_SUCCESS) ThrowCublasError(cublas, label, status);
}

}  // namespace gemm
