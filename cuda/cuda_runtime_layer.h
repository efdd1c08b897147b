#pragma once
// The CUDA Runtime calls of this program, served over the NVIDIA driver's CUDA library.
//
// The program carries no CUDA Runtime library of its own: NVIDIA's runtime cannot be built
// into it, and the user's machine has only the driver (and the cuBLAS that the components
// detection finds). This layer gives the rest of the program the runtime's calls with the
// runtime's contracts, by driving the driver interface directly:
//   - the runtime's status codes: 0 success, 100 no device, 35 when the driver library is
//     missing, lacks a function this layer needs, or is older than the program's CUDA major
//     version (a driver of 13.0 or later serves a 13.x program); driver codes pass through
//     unchanged, since the two interfaces number their shared errors alike;
//   - initialisation once per process, its failure repeated by every later call;
//   - the runtime's messages, worded as NVIDIA's runtime words them;
//   - cudaSetDevice makes the device's primary context current on the calling thread, which
//     is the context cuBLAS (carrying its own runtime) then works in, so both share the
//     program's streams and buffers; calls made on a thread without a current context use
//     device 0, as the runtime does.

#include <mutex>
#include <vector>

#include "cuda/cuda_driver.h"
#include "cuda/nvidia_api.h"

namespace gemm {

class CudaRuntimeLayer final : public CudaRuntimeApi {
public:
    // `driver` must outlive the layer.
    explicit CudaRuntimeLayer(const CudaDriverFunctions& driver);
    // Releases the primary contexts the layer retained.
    ~CudaRuntimeLayer() override;
    CudaRuntimeLayer(const CudaRuntimeLayer&) = delete;
    CudaRuntimeLayer& operator=(const CudaRuntimeLayer&) = delete;

    int cuDriverGetVersion(int* driverVersion) override;
    cudaError_t cudaRuntimeGetVersion(int* runtimeVersion) override;
    cudaError_t cudaGetDeviceCount(int* count) override;
    cudaError_t cudaGetDeviceProperties(cudaDeviceProp* prop, int device) override;
    cudaError_t cudaDeviceGetPCIBusId(char* pciBusId, int length, int device) override;
    cudaError_t cudaDeviceGetAttribute(int* value, int attribute, int device) override;
    cudaError_t cudaSetDevice(int device) override;
    cudaError_t cudaMalloc(void** devicePointer, std::size_t size) override;
    cudaError_t cudaFree(void* devicePointer) override;
    cudaError_t cudaStreamCreateWithFlags(cudaStream_t* stream, unsigned int flags) override;
    cudaError_t cudaStreamDestroy(cudaStream_t stream) override;
    cudaError_t cudaMemcpyAsync(void* destination, const void* source, std::size_t count,
                                cudaMemcpyKind kind, cudaStream_t stream) override;
    cudaError_t cudaStreamSynchronize(cudaStream_t stream) override;
    cudaError_t cudaEventCreate(cudaEvent_t* event) override;
    cudaError_t cudaEventDestroy(cudaEvent_t event) override;
    cudaError_t cudaEventRecord(cudaEvent_t event, cudaStream_t stream) override;
    cudaError_t cudaEventSynchronize(cudaEvent_t event) override;
    cudaError_t cudaEventElapsedTime(float* milliseconds, cudaEvent_t start,
                                     cudaEvent_t end) override;
    cudaError_t cudaMemcpy(void* destination, const void* source, std::size_t count,
                           cudaMemcpyKind kind) override;
    const char* cudaGetErrorString(cudaError_t error) override;

private:
    struct RetainedContext {
        CUdevice device;
        CUcontext context;
    };

    // Checks the driver and initialises it, once; returns the lasting outcome.
    cudaError_t Initialize();
    // Initialises and makes sure the calling thread has a current context.
    cudaError_t EnsureContext();
    cudaError_t MakePrimaryContextCurrent(int ordinal);

    const CudaDriverFunctions& driver_;
    std::once_flag initOnce_;
    bool driverServesRuntime_ = false;
    cudaError_t initStatus_ = cudaErrorInitializationError;
    std::mutex contextsMutex_;
    std::vector<RetainedContext> retained_;
};

}  // namespace gemm
