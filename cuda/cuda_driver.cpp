#include "cuda/cuda_driver.h"

#include "cuda/nvidia_api.h"

namespace gemm {

bool CudaDriverFunctions::HasRuntimeFunctions() const {
    return cuInit && cuDeviceGetCount && cuDeviceGet && cuDeviceGetName && cuDeviceTotalMem_v2 &&
           cuDeviceGetPCIBusId && cuDevicePrimaryCtxRetain && cuDevicePrimaryCtxRelease_v2 &&
           cuCtxGetCurrent && cuCtxSetCurrent && cuMemAlloc_v2 && cuMemFree_v2 &&
           cuMemcpyHtoDAsync_v2 && cuMemcpyDtoH_v2 && cuStreamCreate && cuStreamDestroy_v2 &&
           cuStreamSynchronize && cuEventCreate && cuEventDestroy_v2 && cuEventRecord &&
           cuEventSynchronize && cuEventElapsedTime_v2;
}

CudaDriverModule CudaDriverModule::LoadSystem() {
    CudaDriverModule module;
    module.library_ = DynamicLibrary::LoadSystem(kCudaDriverLibraryName);
    const DynamicLibrary& lib = module.library_;
    CudaDriverFunctions& f = module.functions_;
    if (!lib.IsLoaded()) return module;

    lib.Bind(f.cuDriverGetVersion, "cuDriverGetVersion");

    lib.Bind(f.cuInit, "cuInit");
    lib.Bind(f.cuDeviceGetCount, "cuDeviceGetCount");
    lib.Bind(f.cuDeviceGet, "cuDeviceGet");
    lib.Bind(f.cuDeviceGetName, "cuDeviceGetName");
    lib.Bind(f.cuDeviceTotalMem_v2, "cuDeviceTotalMem_v2");
    lib.Bind(f.cuDeviceGetPCIBusId, "cuDeviceGetPCIBusId");
    lib.Bind(f.cuDeviceGetAttribute, "cuDeviceGetAttribute");
    lib.Bind(f.cuDeviceGetUuid, "cuDeviceGetUuid");
    lib.Bind(f.cuDevicePrimaryCtxRetain, "cuDevicePrimaryCtxRetain");
    lib.Bind(f.cuDevicePrimaryCtxRelease_v2, "cuDevicePrimaryCtxRelease_v2");
    lib.Bind(f.cuCtxGetCurrent, "cuCtxGetCurrent");
    lib.Bind(f.cuCtxSetCurrent, "cuCtxSetCurrent");
    lib.Bind(f.cuMemAlloc_v2, "cuMemAlloc_v2");
    lib.Bind(f.cuMemFree_v2, "cuMemFree_v2");
    lib.Bind(f.cuMemcpyHtoDAsync_v2, "cuMemcpyHtoDAsync_v2");
    lib.Bind(f.cuMemcpyDtoH_v2, "cuMemcpyDtoH_v2");
    lib.Bind(f.cuStreamCreate, "cuStreamCreate");
    lib.Bind(f.cuStreamDestroy_v2, "cuStreamDestroy_v2");
    lib.Bind(f.cuStreamSynchronize, "cuStreamSynchronize");
    lib.Bind(f.cuEventCreate, "cuEventCreate");
    lib.Bind(f.cuEventDestroy_v2, "cuEventDestroy_v2");
    lib.Bind(f.cuEventRecord, "cuEventRecord");
    lib.Bind(f.cuEventSynchronize, "cuEventSynchronize");
    lib.Bind(f.cuEventElapsedTime_v2, "cuEventElapsedTime_v2");
    return module;
}

}  // namespace gemm
