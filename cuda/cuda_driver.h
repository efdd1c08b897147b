#pragma once
// The NVIDIA driver's CUDA library ("nvcuda.dll", "libcuda.so.1"): the functions of the
// driver interface that the program's runtime layer is built on, bound at run time.

#include "cuda/dynamic_library.h"
#include "cuda/nvidia_types.h"

struct CUctx_st;

namespace gemm {

using CUresult = int;
using CUdevice = int;
using CUcontext = CUctx_st*;
using CUdeviceptr = unsigned long long;
using CUstream = CUstream_st*;
using CUevent = CUevent_st*;

inline constexpr CUresult CUDA_SUCCESS = 0;
inline constexpr CUresult CUDA_ERROR_NOT_INITIALIZED = 3;

// One pointer per driver function, named as the library exports it; nullptr when missing.
struct CudaDriverFunctions {
    // Stage 1: the version query alone, enough to tell whether a driver is installed.
    CUresult (*cuDriverGetVersion)(int* driverVersion) = nullptr;

    // Stage 2: what the runtime layer needs.
    CUresult (*cuInit)(unsigned int flags) = nullptr;
    CUresult (*cuDeviceGetCount)(int* count) = nullptr;
    CUresult (*cuDeviceGet)(CUdevice* device, int ordinal) = nullptr;
    CUresult (*cuDeviceGetName)(char* name, int length, CUdevice device) = nullptr;
    CUresult (*cuDeviceTotalMem_v2)(std::size_t* bytes, CUdevice device) = nullptr;
    CUresult (*cuDeviceGetPCIBusId)(char* pciBusId, int length, CUdevice device) = nullptr;
    CUresult (*cuDevicePrimaryCtxRetain)(CUcontext* context, CUdevice device) = nullptr;
    CUresult (*cuDevicePrimaryCtxRelease_v2)(CUdevice device) = nullptr;
    CUresult (*cuCtxGetCurrent)(CUcontext* context) = nullptr;
    CUresult (*cuCtxSetCurrent)(CUcontext context) = nullptr;
    CUresult (*cuMemAlloc_v2)(CUdeviceptr* pointer, std::size_t bytes) = nullptr;
    CUresult (*cuMemFree_v2)(CUdeviceptr pointer) = nullptr;
    CUresult (*cuMemcpyHtoDAsync_v2)(CUdeviceptr destination, const void* source,
                                     std::size_t bytes, CUstream stream) = nullptr;
    CUresult (*cuMemcpyDtoH_v2)(void* destination, CUdeviceptr source,
                                std::size_t bytes) = nullptr;
    CUresult (*cuStreamCreate)(CUstream* stream, unsigned int flags) = nullptr;
    CUresult (*cuStreamDestroy_v2)(CUstream stream) = nullptr;
    CUresult (*cuStreamSynchronize)(CUstream stream) = nullptr;
    CUresult (*cuEventCreate)(CUevent* event, unsigned int flags) = nullptr;
    CUresult (*cuEventDestroy_v2)(CUevent event) = nullptr;
    CUresult (*cuEventRecord)(CUevent event, CUstream stream) = nullptr;
    CUresult (*cuEventSynchronize)(CUevent event) = nullptr;
    CUresult (*cuEventElapsedTime_v2)(float* milliseconds, CUevent start, CUevent end) = nullptr;

    // Optional: what a result records about the card (compute capability, SM count), and the
    // card's own UUID (the _v2 call gives a MIG instance's instead).
    CUresult (*cuDeviceGetAttribute)(int* value, int attribute, CUdevice device) = nullptr;
    CUresult (*cuDeviceGetUuid)(cudaUUID_t* uuid, CUdevice device) = nullptr;

    // True when every stage-2 function is present.
    bool HasRuntimeFunctions() const;
};

// The loaded driver library and its bound functions.
class CudaDriverModule {
public:
    CudaDriverModule() = default;  // nothing loaded, every function nullptr

    // Loads the system's driver library and binds both stages; a missing library or
    // function leaves its pointers nullptr.
    static CudaDriverModule LoadSystem();

    const CudaDriverFunctions& Functions() const { return functions_; }

private:
    DynamicLibrary library_;
    CudaDriverFunctions functions_;
};

}  // namespace gemm
