// The program's own instances of the CUDA and cuBLAS tables. They belong to the process: the
// driver library with the primary contexts the runtime layer retained, and the bound cuBLAS,
// stay loaded until the process ends, as NVIDIA's own runtime keeps them, so that no library
// is unloaded while another (cuBLAS carries its own runtime) may still call into it at exit.

#include <new>
#include <utility>

#include "cuda/cuda_driver.h"
#include "cuda/cuda_runtime_layer.h"
#include "cuda/nvidia_api.h"

namespace gemm {
namespace {

// Holds one object for the rest of the process and never destroys it.
template <typename T>
class ProcessLifetime {
public:
    ProcessLifetime() : object_(::new (static_cast<void*>(storage_)) T()) {}
    ProcessLifetime(const ProcessLifetime&) = delete;
    ProcessLifetime& operator=(const ProcessLifetime&) = delete;
    T& get() { return *object_; }

private:
    alignas(T) unsigned char storage_[sizeof(T)];
    T* object_;
};

struct CublasFunctions {
    cublasStatus_t (*cublasCreate_v2)(cublasHandle_t* handle) = nullptr;
    cublasStatus_t (*cublasDestroy_v2)(cublasHandle_t handle) = nullptr;
    cublasStatus_t (*cublasSetStream_v2)(cublasHandle_t handle, cudaStream_t stream) = nullptr;
    cublasStatus_t (*cublasSetMathMode)(cublasHandle_t handle, cublasMath_t mode) = nullptr;
    cublasStatus_t (*cublasGemmEx)(cublasHandle_t handle, cublasOperation_t transa,
                                   cublasOperation_t transb, int m, int n, int k,
                                   const void* alpha, const void* A, cudaDataType Atype, int lda,
                                   const void* B, cudaDataType Btype, int ldb, const void* beta,
                                   void* C, cudaDataType Ctype, int ldc,
                                   cublasComputeType_t computeType,
                                   cublasGemmAlgo_t algo) = nullptr;
    const char* (*cublasGetStatusString)(cublasStatus_t status) = nullptr;
    cublasStatus_t (*cublasGetProperty)(libraryPropertyType type, int* value) = nullptr;
};

// The bound cuBLAS library; a call before binding fails as an uninitialised cuBLAS would.
class BoundCublas final : public CublasApi {
public:
    bool Bind(DynamicLibrary&& library) {
        CublasFunctions f;
        const bool complete = library.Bind(f.cublasCreate_v2, "cublasCreate_v2") &&
                              library.Bind(f.cublasDestroy_v2, "cublasDestroy_v2") &&
                              library.Bind(f.cublasSetStream_v2, "cublasSetStream_v2") &&
                              library.Bind(f.cublasSetMathMode, "cublasSetMathMode") &&
                              library.Bind(f.cublasGemmEx, "cublasGemmEx") &&
                              library.Bind(f.cublasGetStatusString, "cublasGetStatusString") &&
                              library.Bind(f.cublasGetProperty, "cublasGetProperty");
        if (!complete) return false;
        functions_ = f;
        library_ = std::move(library);
        return true;
    }

    cublasStatus_t cublasCreate_v2(cublasHandle_t* handle) override {
        if (functions_.cublasCreate_v2 == nullptr) return CUBLAS_STATUS_NOT_INITIALIZED;
        return functions_.cublasCreate_v2(handle);
    }
    cublasStatus_t cublasDestroy_v2(cublasHandle_t handle) override {
        if (functions_.cublasDestroy_v2 == nullptr) return CUBLAS_STATUS_NOT_INITIALIZED;
        return functions_.cublasDestroy_v2(handle);
    }
    cublasStatus_t cublasSetStream_v2(cublasHandle_t handle, cudaStream_t stream) override {
        if (functions_.cublasSetStream_v2 == nullptr) return CUBLAS_STATUS_NOT_INITIALIZED;
        return functions_.cublasSetStream_v2(handle, stream);
    }
    cublasStatus_t cublasSetMathMode(cublasHandle_t handle, cublasMath_t mode) override {
        if (functions_.cublasSetMathMode == nullptr) return CUBLAS_STATUS_NOT_INITIALIZED;
        return functions_.cublasSetMathMode(handle, mode);
    }
    cublasStatus_t cublasGemmEx(cublasHandle_t handle, cublasOperation_t transa,
                                cublasOperation_t transb, int m, int n, int k, const void* alpha,
                                const void* A, cudaDataType Atype, int lda, const void* B,
                                cudaDataType Btype, int ldb, const void* beta, void* C,
                                cudaDataType Ctype, int ldc, cublasComputeType_t computeType,
                                cublasGemmAlgo_t algo) override {
        if (functions_.cublasGemmEx == nullptr) return CUBLAS_STATUS_NOT_INITIALIZED;
        return functions_.cublasGemmEx(handle, transa, transb, m, n, k, alpha, A, Atype, lda, B,
                                       Btype, ldb, beta, C, Ctype, ldc, computeType, algo);
    }
    const char* cublasGetStatusString(cublasStatus_t status) override {
        if (functions_.cublasGetStatusString == nullptr) return "cuBLAS is not loaded";
        return functions_.cublasGetStatusString(status);
    }
    cublasStatus_t cublasGetProperty(libraryPropertyType type, int* value) override {
        if (functions_.cublasGetProperty == nullptr) return CUBLAS_STATUS_NOT_INITIALIZED;
        return functions_.cublasGetProperty(type, value);
    }

private:
    DynamicLibrary library_;
    CublasFunctions functions_;
};

BoundCublas& ProcessCublas() {
    static ProcessLifetime<BoundCublas> cublas;
    return cublas.get();
}

// The driver library and the runtime layer over it, created together on first use.
struct ProcessRuntime {
    CudaDriverModule driver = CudaDriverModule::LoadSystem();
    CudaRuntimeLayer runtime{driver.Functions()};
};

}  // namespace

CudaRuntimeApi& SystemCudaRuntime() {
    static ProcessLifetime<ProcessRuntime> process;
    return process.get().runtime;
}

bool BindCublasImports(DynamicLibrary&& cublas) { return ProcessCublas().Bind(std::move(cublas)); }

CublasApi& SystemCublas() { return ProcessCublas(); }

}  // namespace gemm
