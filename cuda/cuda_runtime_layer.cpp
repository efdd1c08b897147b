#include "cuda/cuda_runtime_layer.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>

#include "cuda/cuda_version.h"

namespace gemm {
namespace {

struct Message {
    cudaError_t code;
    const char* text;
};

// The runtime's wording for every status this layer can return: the driver's codes, which
// pass through, and the runtime's own 21 and 35. Sorted by code.
constexpr Message kMessages[] = {
    {0, "no error"},
    {1, "invalid argument"},
    {2, "out of memory"},
    {3, "initialization error"},
    {4, "driver shutting down"},
    {5, "profiler disabled while using external profiling tool"},
    {6, "profiler not initialized: call cudaProfilerInitialize()"},
    {7, "profiler already started"},
    {8, "profiler already stopped"},
    {21, "invalid copy direction for memcpy"},
    {34, "CUDA driver is a stub library"},
    {35, "CUDA driver version is insufficient for CUDA runtime version"},
    {36, "API call is not supported in the installed CUDA driver"},
    {46, "CUDA-capable device(s) is/are busy or unavailable"},
    {100, "no CUDA-capable device is detected"},
    {101, "invalid device ordinal"},
    {102, "device doesn't have valid Grid license"},
    {200, "device kernel image is invalid"},
    {201, "invalid device context"},
    {205, "mapping of buffer object failed"},
    {206, "unmapping of buffer object failed"},
    {207, "array is mapped"},
    {208, "resource already mapped"},
    {209, "no kernel image is available for execution on the device"},
    {210, "resource already acquired"},
    {211, "resource not mapped"},
    {212, "resource not mapped as array"},
    {213, "resource not mapped as pointer"},
    {214, "uncorrectable ECC error encountered"},
    {215, "limit is not supported on this architecture"},
    {216, "exclusive-thread device already in use by a different thread"},
    {217, "peer access is not supported between these two devices"},
    {218, "a PTX JIT compilation failed"},
    {219, "invalid OpenGL or DirectX context"},
    {220, "uncorrectable NVLink error detected during the execution"},
    {221, "PTX JIT compiler library not found"},
    {222, "the provided PTX was compiled with an unsupported toolchain."},
    {223, "PTX JIT compilation was disabled"},
    {224, "the provided execution affinity is not supported"},
    {225, "the provided PTX contains unsupported call to cudaDeviceSynchronize"},
    {226, "Invalid access of peer GPU memory over nvlink or a hardware error"},
    {300, "device kernel image is invalid"},
    {301, "file not found"},
    {302, "shared object symbol not found"},
    {303, "shared object initialization failed"},
    {304, "OS call failed or operation not supported on this OS"},
    {400, "invalid resource handle"},
    {401, "the operation cannot be performed in the present state"},
    {402, "attempted introspection would be semantically lossy"},
    {500, "named symbol not found"},
    {600, "device not ready"},
    {700, "an illegal memory access was encountered"},
    {701, "too many resources requested for launch"},
    {702, "the launch timed out and was terminated"},
    {703, "launch uses incompatible texturing mode"},
    {704, "peer access is already enabled"},
    {705, "peer access has not been enabled"},
    {708, "cannot set while device is active in this process"},
    {709, "context is destroyed"},
    {710, "device-side assert triggered"},
    {711, "peer mapping resources exhausted"},
    {712, "part or all of the requested memory range is already mapped"},
    {713, "pointer does not correspond to a registered memory region"},
    {714, "hardware stack error"},
    {715, "an illegal instruction was encountered"},
    {716, "misaligned address"},
    {717, "operation not supported on global/shared address space"},
    {718, "invalid program counter"},
    {719, "unspecified launch failure"},
    {720, "too many blocks in cooperative launch"},
    {721, "tensor memory not completely freed"},
    {800, "operation not permitted"},
    {801, "operation not supported"},
    {802, "system not yet initialized"},
    {803, "system has unsupported display driver / cuda driver combination"},
    {804, "forward compatibility was attempted on non supported HW"},
    {805, "MPS client failed to connect to the MPS control daemon or the MPS server"},
    {806, "the remote procedural call between the MPS server and the MPS client failed"},
    {807, "MPS server is not ready to accept new MPS client requests"},
    {808, "the hardware resources required to create MPS client have been exhausted"},
    {809, "the hardware resources required to support device connections have been exhausted"},
    {810, "the MPS client has been terminated by the server"},
    {811, "is using CUDA Dynamic Parallelism, but the current configuration, like MPS, does not support it"},
    {812, "unsupported interaction between different versions of CUDA Dynamic Parallelism"},
    {900, "operation not permitted when stream is capturing"},
    {901, "operation failed due to a previous error during capture"},
    {902, "operation would result in a merge of separate capture sequences"},
    {903, "capture was not ended in the same stream as it began"},
    {904, "capturing stream has unjoined work"},
    {905, "dependency created on uncaptured work in another stream"},
    {906, "operation would make the legacy stream depend on a capturing blocking stream"},
    {907, "operation not permitted on an event last recorded in a capturing stream"},
    {908, "attempt to terminate a thread-local capture sequence from another thread"},
    {909, "wait operation timed out"},
    {910, "the graph update was not performed because it included changes which violated constraints specific to instantiated graph update"},
    {911, "an async error has occured in external entity outside of CUDA"},
    {912, "a kernel launch error has occurred due to cluster misconfiguration"},
    {913, "the function handle is not loaded when calling an API that requires a loaded function"},
    {914, "one or more resources passed in are not valid resource types for the operation"},
    {915, "one or more resources are insufficient or non-applicable for the operation"},
    {999, "unknown error"},
};

CUdeviceptr ToDevice(const void* pointer) {
    return static_cast<CUdeviceptr>(reinterpret_cast<std::uintptr_t>(pointer));
}

const char* CudaRuntimeMessage(cudaError_t error) {
    const auto found = std::lower_bound(
        std::begin(kMessages), std::end(kMessages), error,
        [](const Message& message, cudaError_t code) { return message.code < code; });
    if (found == std::end(kMessages) || found->code != error) return nullptr;
    return found->text;
}

}  // namespace

CudaRuntimeLayer::CudaRuntimeLayer(const CudaDriverFunctions& driver) : driver_(driver) {}

CudaRuntimeLayer::~CudaRuntimeLayer() {
    for (auto it = retained_.rbegin(); it != retained_.rend(); ++it) {
        driver_.cuDevicePrimaryCtxRelease_v2(it->device);
    }
}

cudaError_t CudaRuntimeLayer::Initialize() {
    std::call_once(initOnce_, [this] {
        int driverVersion = 0;
        driverServesRuntime_ = driver_.cuDriverGetVersion != nullptr &&
                               driver_.HasRuntimeFunctions() &&
                               driver_.cuDriverGetVersion(&driverVersion) == CUDA_SUCCESS &&
                               driverVersion / 1000 >= kRequiredCudaVersion / 1000;
        initStatus_ = driverServesRuntime_ ? driver_.cuInit(0) : cudaErrorInsufficientDriver;
    });
    return initStatus_;
}

cudaError_t CudaRuntimeLayer::EnsureContext() {
    if (const cudaError_t status = Initialize(); status != cudaSuccess) return status;
    CUcontext current = nullptr;
    if (const CUresult status = driver_.cuCtxGetCurrent(&current); status != CUDA_SUCCESS) {
        return status;
    }
    return current != nullptr ? cudaSuccess : MakePrimaryContextCurrent(0);
}

cudaError_t CudaRuntimeLayer::MakePrimaryContextCurrent(int ordinal) {
    CUdevice device = 0;
    if (const CUresult status = driver_.cuDeviceGet(&device, ordinal); status != CUDA_SUCCESS) {
        return status;
    }
    CUcontext context = nullptr;
    {
        std::lock_guard lock(contextsMutex_);
        const auto found = std::find_if(retained_.begin(), retained_.end(),
                                        [device](const RetainedContext& retained) {
                                            return retained.device == device;
                                        });
        if (found != retained_.end()) {
            context = found->context;
        } else {
            if (const CUresult status = driver_.cuDevicePrimaryCtxRetain(&context, device);
                status != CUDA_SUCCESS) {
                return status;
            }
            retained_.push_back({device, context});
        }
    }
    return driver_.cuCtxSetCurrent(context);
}

int CudaRuntimeLayer::cuDriverGetVersion(int* driverVersion) {
    if (driver_.cuDriverGetVersion == nullptr) return CUDA_ERROR_NOT_INITIALIZED;
    return driver_.cuDriverGetVersion(driverVersion);
}

cudaError_t CudaRuntimeLayer::cudaRuntimeGetVersion(int* runtimeVersion) {
    Initialize();
    if (!driverServesRuntime_) return cudaErrorInsufficientDriver;
    *runtimeVersion = kRequiredCudaVersion;
    return cudaSuccess;
}

cudaError_t CudaRuntimeLayer::cudaGetDeviceCount(int* count) {
    const cudaError_t status = Initialize();
    if (status == cudaErrorNoDevice) {
        *count = 0;
        return status;
    }
    if (status != cudaSuccess) return status;
    return driver_.cuDeviceGetCount(count);
}

cudaError_t CudaRuntimeLayer::cudaGetDeviceProperties(cudaDeviceProp* prop, int ordinal) {
    if (const cudaError_t status = Initialize(); status != cudaSuccess) return status;
    CUdevice device = 0;
    if (const CUresult status = driver_.cuDeviceGet(&device, ordinal); status != CUDA_SUCCESS) {
        return status;
    }
    cudaDeviceProp read{};
    if (const CUresult status =
            driver_.cuDeviceGetName(read.name, static_cast<int>(sizeof read.name), device);
        status != CUDA_SUCCESS) {
        return status;
    }
    read.name[sizeof read.name - 1] = '\0';
    if (const CUresult status = driver_.cuDeviceTotalMem_v2(&read.totalGlobalMem, device);
        status != CUDA_SUCCESS) {
        return status;
    }
    // The identity is optional: a driver without it, or failing it, leaves the bytes zero.
    if (driver_.cuDeviceGetUuid == nullptr || driver_.cuDeviceGetUuid(&read.uuid, device) != CUDA_SUCCESS) {
        read.uuid = cudaUUID_t{};
    }
    *prop = read;
    return cudaSuccess;
}

cudaError_t CudaRuntimeLayer::cudaDeviceGetPCIBusId(char* pciBusId, int length, int ordinal) {
    if (const cudaError_t status = Initialize(); status != cudaSuccess) return status;
    CUdevice device = 0;
    if (const CUresult status = driver_.cuDeviceGet(&device, ordinal); status != CUDA_SUCCESS) {
        return status;
    }
    return driver_.cuDeviceGetPCIBusId(pciBusId, length, device);
}

cudaError_t CudaRuntimeLayer::cudaDeviceGetAttribute(int* value, int attribute, int ordinal) {
    if (const cudaError_t status = Initialize(); status != cudaSuccess) return status;
    if (driver_.cuDeviceGetAttribute == nullptr) return 801;  // cudaErrorNotSupported
    CUdevice device = 0;
    if (const CUresult status = driver_.cuDeviceGet(&device, ordinal); status != CUDA_SUCCESS) {
        return status;
    }
    return driver_.cuDeviceGetAttribute(value, attribute, device);
}

cudaError_t CudaRuntimeLayer::cudaSetDevice(int ordinal) {
    if (const cudaError_t status = Initialize(); status != cudaSuccess) return status;
    return MakePrimaryContextCurrent(ordinal);
}

cudaError_t CudaRuntimeLayer::cudaMalloc(void** devicePointer, std::size_t size) {
    if (const cudaError_t status = EnsureContext(); status != cudaSuccess) return status;
    CUdeviceptr allocated = 0;
    const CUresult status = driver_.cuMemAlloc_v2(&allocated, size);
    if (status == CUDA_SUCCESS) {
        *devicePointer = reinterpret_cast<void*>(static_cast<std::uintptr_t>(allocated));
    }
    return status;
}

cudaError_t CudaRuntimeLayer::cudaFree(void* devicePointer) {
    if (const cudaError_t status = EnsureContext(); status != cudaSuccess) return status;
    if (devicePointer == nullptr) return cudaSuccess;
    return driver_.cuMemFree_v2(ToDevice(devicePointer));
}

cudaError_t CudaRuntimeLayer::cudaStreamCreateWithFlags(cudaStream_t* stream,
                                                        unsigned int flags) {
    if (const cudaError_t status = EnsureContext(); status != cudaSuccess) return status;
    return driver_.cuStreamCreate(stream, flags);  // the runtime's flag values are the driver's
}

cudaError_t CudaRuntimeLayer::cudaStreamDestroy(cudaStream_t stream) {
    if (const cudaError_t status = EnsureContext(); status != cudaSuccess) return status;
    return driver_.cuStreamDestroy_v2(stream);
}

// The program copies to the card only asynchronously and from it only synchronously.
cudaError_t CudaRuntimeLayer::cudaMemcpyAsync(void* destination, const void* source,
                                              std::size_t count, cudaMemcpyKind kind,
                                              cudaStream_t stream) {
    if (const cudaError_t status = EnsureContext(); status != cudaSuccess) return status;
    if (kind != cudaMemcpyHostToDevice) return cudaErrorInvalidMemcpyDirection;
    return driver_.cuMemcpyHtoDAsync_v2(ToDevice(destination), source, count, stream);
}

cudaError_t CudaRuntimeLayer::cudaMemcpy(void* destination, const void* source,
                                         std::size_t count, cudaMemcpyKind kind) {
    if (const cudaError_t status = EnsureContext(); status != cudaSuccess) return status;
    if (kind != cudaMemcpyDeviceToHost) return cudaErrorInvalidMemcpyDirection;
    return driver_.cuMemcpyDtoH_v2(destination, ToDevice(source), count);
}

cudaError_t CudaRuntimeLayer::cudaStreamSynchronize(cudaStream_t stream) {
    if (const cudaError_t status = EnsureContext(); status != cudaSuccess) return status;
    return driver_.cuStreamSynchronize(stream);
}

cudaError_t CudaRuntimeLayer::cudaEventCreate(cudaEvent_t* event) {
    if (const cudaError_t status = EnsureContext(); status != cudaSuccess) return status;
    return driver_.cuEventCreate(event, 0);  // default flags: timing enabled
}

cudaError_t CudaRuntimeLayer::cudaEventDestroy(cudaEvent_t event) {
    if (const cudaError_t status = EnsureContext(); status != cudaSuccess) return status;
    return driver_.cuEventDestroy_v2(event);
}

cudaError_t CudaRuntimeLayer::cudaEventRecord(cudaEvent_t event, cudaStream_t stream) {
    if (const cudaError_t status = EnsureContext(); status != cudaSuccess) return status;
    return driver_.cuEventRecord(event, stream);
}

cudaError_t CudaRuntimeLayer::cudaEventSynchronize(cudaEvent_t event) {
    if (const cudaError_t status = EnsureContext(); status != cudaSuccess) return status;
    return driver_.cuEventSynchronize(event);
}

cudaError_t CudaRuntimeLayer::cudaEventElapsedTime(float* milliseconds, cudaEvent_t start,
                                                   cudaEvent_t end) {
    if (const cudaError_t status = EnsureContext(); status != cudaSuccess) return status;
    return driver_.cuEventElapsedTime_v2(milliseconds, start, end);
}

const char* CudaRuntimeLayer::cudaGetErrorString(cudaError_t error) {
    Initialize();
    if (!driverServesRuntime_) return nullptr;
    const char* text = CudaRuntimeMessage(error);
    return text != nullptr ? text : "unrecognized error code";
}

}  // namespace gemm
