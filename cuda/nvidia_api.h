#pragma once
// The calls this program makes into NVIDIA's libraries, as three tables: the CUDA calls, the
// cuBLAS calls and the NVML calls. The benchmark run, the device enumeration and the CUDA
// components detection work only through these tables, so the same logic runs against the
// real libraries in the program and against substitutes in the tests.
//
// The program's tables:
//   SystemCudaRuntime()  the CUDA calls, served by this program's own runtime layer over the
//                        NVIDIA driver's CUDA library (see cuda_runtime_layer.h), which is
//                        loaded from the system on first use and kept for the process's life.
//   SystemCublas()       the cuBLAS calls, bound by BindCublasImports to the cuBLAS library
//                        that the components detection found.
//   NvmlLibrary          (nvml_library.h) NVML, loaded for the length of one enumeration.
//
// Every call returns the library's status, 0 for success, with the library's own codes.

#include <cstddef>

#include "cuda/dynamic_library.h"
#include "cuda/nvidia_types.h"

namespace gemm {

// File names of the libraries. The driver's libraries come from the system; cuBLAS is loaded
// by full path from the directory the components detection chose, and cuBLASLt, which cuBLAS
// calls into, from the same directory.
#ifdef _WIN32
inline constexpr wchar_t kCudaDriverLibraryName[] = L"nvcuda.dll";
inline constexpr wchar_t kNvmlLibraryName[] = L"nvml.dll";
inline constexpr wchar_t kCublasLibraryName[] = L"cublas64_13.dll";
inline constexpr wchar_t kCublasLtLibraryName[] = L"cublasLt64_13.dll";
#else
inline constexpr char kCudaDriverLibraryName[] = "libcuda.so.1";
inline constexpr char kNvmlLibraryName[] = "libnvidia-ml.so.1";
inline constexpr char kCublasLibraryName[] = "libcublas.so.13";
inline constexpr char kCublasLtLibraryName[] = "libcublasLt.so.13";
#endif

// The CUDA Runtime calls, plus the driver library's own version query.
class CudaRuntimeApi {
public:
    virtual ~CudaRuntimeApi() = default;

    // cuDriverGetVersion of the driver library. Returns a non-zero status (3, not
    // initialised) and writes nothing when the library or the function is missing.
    virtual int cuDriverGetVersion(int* driverVersion) = 0;

    // Writes the program's CUDA version (kRequiredCudaVersion) when the driver can serve it;
    // otherwise returns 35 and writes nothing.
    virtual cudaError_t cudaRuntimeGetVersion(int* runtimeVersion) = 0;
    virtual cudaError_t cudaGetDeviceCount(int* count) = 0;
    virtual cudaError_t cudaGetDeviceProperties(cudaDeviceProp* prop, int device) = 0;
    virtual cudaError_t cudaDeviceGetPCIBusId(char* pciBusId, int length, int device) = 0;
    // A device attribute (cudaDevAttr* numbering); 801, not supported, where unavailable.
    virtual cudaError_t cudaDeviceGetAttribute(int* /*value*/, int /*attribute*/, int /*device*/) { return 801; }
    // Makes the device's primary context current on the calling thread.
    virtual cudaError_t cudaSetDevice(int device) = 0;
    virtual cudaError_t cudaMalloc(void** devicePointer, std::size_t size) = 0;
    virtual cudaError_t cudaFree(void* devicePointer) = 0;
    virtual cudaError_t cudaStreamCreateWithFlags(cudaStream_t* stream, unsigned int flags) = 0;
    virtual cudaError_t cudaStreamDestroy(cudaStream_t stream) = 0;
    virtual cudaError_t cudaMemcpyAsync(void* destination, const void* source, std::size_t count,
                                        cudaMemcpyKind kind, cudaStream_t stream) = 0;
    virtual cudaError_t cudaStreamSynchronize(cudaStream_t stream) = 0;
    virtual cudaError_t cudaEventCreate(cudaEvent_t* event) = 0;
    virtual cudaError_t cudaEventDestroy(cudaEvent_t event) = 0;
    virtual cudaError_t cudaEventRecord(cudaEvent_t event, cudaStream_t stream) = 0;
    virtual cudaError_t cudaEventSynchronize(cudaEvent_t event) = 0;
    virtual cudaError_t cudaEventElapsedTime(float* milliseconds, cudaEvent_t start,
                                             cudaEvent_t end) = 0;
    // Synchronous copy.
    virtual cudaError_t cudaMemcpy(void* destination, const void* source, std::size_t count,
                                   cudaMemcpyKind kind) = 0;
    // The runtime's message for a status; nullptr when the runtime cannot start (the driver
    // is missing or too old) and so has no messages to give.
    virtual const char* cudaGetErrorString(cudaError_t error) = 0;
};

// The seven cuBLAS calls.
class CublasApi {
public:
    virtual ~CublasApi() = default;

    virtual cublasStatus_t cublasCreate_v2(cublasHandle_t* handle) = 0;
    virtual cublasStatus_t cublasDestroy_v2(cublasHandle_t handle) = 0;
    virtual cublasStatus_t cublasSetStream_v2(cublasHandle_t handle, cudaStream_t stream) = 0;
    virtual cublasStatus_t cublasSetMathMode(cublasHandle_t handle, cublasMath_t mode) = 0;
    virtual cublasStatus_t cublasGemmEx(cublasHandle_t handle, cublasOperation_t transa,
                                        cublasOperation_t transb, int m, int n, int k,
                                        const void* alpha, const void* A, cudaDataType Atype,
                                        int lda, const void* B, cudaDataType Btype, int ldb,
                                        const void* beta, void* C, cudaDataType Ctype, int ldc,
                                        cublasComputeType_t computeType,
                                        cublasGemmAlgo_t algo) = 0;
    virtual const char* cublasGetStatusString(cublasStatus_t status) = 0;
    virtual cublasStatus_t cublasGetProperty(libraryPropertyType type, int* value) = 0;
};

// What loading NVML achieved.
enum class NvmlLoad {
    Missing,     // the library did not load
    Incomplete,  // it loaded, but one of the four functions is missing
    Complete,
};

// NVML, loaded for the length of one use. UnloadNvml must follow every load that is not
// Missing.
class NvmlApi {
public:
    virtual ~NvmlApi() = default;

    virtual NvmlLoad LoadNvml() = 0;
    virtual void UnloadNvml() = 0;
    virtual nvmlReturn_t nvmlInit_v2() = 0;
    virtual nvmlReturn_t nvmlShutdown() = 0;
    virtual nvmlReturn_t nvmlDeviceGetHandleByPciBusId_v2(const char* pciBusId,
                                                          nvmlDevice_t* device) = 0;
    virtual nvmlReturn_t nvmlDeviceGetPciInfo_v3(nvmlDevice_t device, nvmlPciInfo_t* pci) = 0;
};

// The program's CUDA calls (thread-safe; the driver library is loaded on first use).
CudaRuntimeApi& SystemCudaRuntime();

// Binds the program's cuBLAS calls to the loaded cuBLAS library and keeps it loaded for the
// process's life. Returns false, binding nothing, when any of the seven functions is missing.
// Called once, at start-up, before any benchmark thread exists.
bool BindCublasImports(DynamicLibrary&& cublas);

// The program's cuBLAS calls; before a successful BindCublasImports every call fails with
// CUBLAS_STATUS_NOT_INITIALIZED.
CublasApi& SystemCublas();

}  // namespace gemm
