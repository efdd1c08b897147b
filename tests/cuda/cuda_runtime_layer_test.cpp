#include "cuda/cuda_runtime_layer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "discovery/cuda_components.h"

namespace gemm {
namespace {

// A substitute driver: plain functions, as the driver library exports them, over one state.
struct DriverState {
    int version = 13000;
    CUresult initStatus = CUDA_SUCCESS;
    int initCalls = 0;
    int deviceCount = 2;
    CUresult allocStatus = CUDA_SUCCESS;
    std::vector<int> retained;  // devices, in the order of retain calls
    std::vector<int> releasedContexts;
    std::vector<std::string> calls;
    unsigned int streamFlags = 99;
    unsigned int eventFlags = 99;
    std::vector<CUcontext> allocationContexts;  // the context current at each allocation
    std::size_t copiedBytes = 0;
};

DriverState* state = nullptr;
thread_local CUcontext currentContext = nullptr;

CUcontext PrimaryContext(CUdevice device) {
    return reinterpret_cast<CUcontext>(static_cast<std::uintptr_t>(0x100 + device));
}

CudaDriverFunctions FakeDriver() {
    CudaDriverFunctions f;
    f.cuDriverGetVersion = [](int* version) { *version = state->version; return 0; };
    f.cuInit = [](unsigned int) { ++state->initCalls; return state->initStatus; };
    f.cuDeviceGetCount = [](int* count) { *count = state->deviceCount; return 0; };
    f.cuDeviceGet = [](CUdevice* device, int ordinal) {
        if (ordinal < 0 || ordinal >= state->deviceCount) return 101;
        *device = ordinal;
        return 0;
    };
    f.cuDeviceGetName = [](char* name, int length, CUdevice device) {
        const std::string text = "Device " + std::to_string(device);
        if (static_cast<int>(text.size()) >= length) return 1;
        std::memcpy(name, text.c_str(), text.size() + 1);
        return 0;
    };
    f.cuDeviceTotalMem_v2 = [](std::size_t* bytes, CUdevice device) {
        *bytes = (std::size_t{8} << 30) * static_cast<std::size_t>(device + 1);
        return 0;
    };
    f.cuDeviceGetPCIBusId = [](char* busId, int length, CUdevice) {
        std::strncpy(busId, "00000000:65:00.0", static_cast<std::size_t>(length));
        return 0;
    };
    f.cuDevicePrimaryCtxRetain = [](CUcontext* context, CUdevice device) {
        state->retained.push_back(device);
        *context = PrimaryContext(device);
        return 0;
    };
    f.cuDevicePrimaryCtxRelease_v2 = [](CUdevice device) {
        state->releasedContexts.push_back(device);
        return 0;
    };
    f.cuCtxGetCurrent = [](CUcontext* context) { *context = currentContext; return 0; };
    f.cuCtxSetCurrent = [](CUcontext context) { currentContext = context; return 0; };
    f.cuMemAlloc_v2 = [](CUdeviceptr* pointer, std::size_t) {
        state->allocationContexts.push_back(currentContext);
        if (state->allocStatus != CUDA_SUCCESS) return state->allocStatus;
        *pointer = 0x7000000;
        return 0;
    };
    f.cuMemFree_v2 = [](CUdeviceptr) { state->calls.push_back("cuMemFree"); return 0; };
    f.cuMemcpyHtoDAsync_v2 = [](CUdeviceptr, const void*, std::size_t bytes, CUstream) {
        state->copiedBytes = bytes;
        return 0;
    };
    f.cuMemcpyDtoH_v2 = [](void* destination, CUdeviceptr source, std::size_t bytes) {
        state->copiedBytes = bytes;
        std::memcpy(destination, &source, bytes);  // the "device" holds its own address
        return 0;
    };
    f.cuStreamCreate = [](CUstream* stream, unsigned int flags) {
        state->streamFlags = flags;
        *stream = reinterpret_cast<CUstream>(std::uintptr_t{0x500});
        return 0;
    };
    f.cuStreamDestroy_v2 = [](CUstream) { return 0; };
    f.cuStreamSynchronize = [](CUstream) { return 0; };
    f.cuEventCreate = [](CUevent* event, unsigned int flags) {
        state->eventFlags = flags;
        *event = reinterpret_cast<CUevent>(std::uintptr_t{0x600});
        return 0;
    };
    f.cuEventDestroy_v2 = [](CUevent) { return 0; };
    f.cuEventRecord = [](CUevent, CUstream) { return 0; };
    f.cuEventSynchronize = [](CUevent) { return 600; };
    f.cuEventElapsedTime_v2 = [](float* milliseconds, CUevent, CUevent) {
        *milliseconds = 12.5f;
        return 0;
    };
    return f;
}

class CudaRuntimeLayerTest : public ::testing::Test {
protected:
    CudaRuntimeLayerTest() {
        state = &driverState;
        currentContext = nullptr;
    }
    ~CudaRuntimeLayerTest() override { state = nullptr; }

    DriverState driverState;
    CudaDriverFunctions driver = FakeDriver();
};

TEST_F(CudaRuntimeLayerTest, DriverOfTheProgramsMajorVersionServesTheRuntime) {
    for (const int version : {13000, 13050, 14020}) {
        driverState.version = version;
        CudaRuntimeLayer runtime(driver);
        int runtimeVersion = 0;
        EXPECT_EQ(runtime.cudaRuntimeGetVersion(&runtimeVersion), 0);
        EXPECT_EQ(runtimeVersion, kRequiredCudaVersion);
        int count = 0;
        EXPECT_EQ(runtime.cudaGetDeviceCount(&count), 0);
        EXPECT_EQ(count, 2);
    }
}

TEST_F(CudaRuntimeLayerTest, OldIncompleteOrMissingDriverGivesStatus35AndNoVersionOrText) {
    CudaDriverFunctions incomplete = driver;
    incomplete.cuEventElapsedTime_v2 = nullptr;
    const CudaDriverFunctions missing;
    driverState.version = 12090;
    const CudaDriverFunctions* const drivers[] = {&driver, &incomplete, &missing};
    for (const CudaDriverFunctions* functions : drivers) {
        CudaRuntimeLayer runtime(*functions);
        int runtimeVersion = -7;
        EXPECT_EQ(runtime.cudaRuntimeGetVersion(&runtimeVersion), 35);
        EXPECT_EQ(runtimeVersion, -7);
        int count = -7;
        EXPECT_EQ(runtime.cudaGetDeviceCount(&count), 35);
        EXPECT_EQ(runtime.cudaSetDevice(0), 35);
        void* pointer = nullptr;
        EXPECT_EQ(runtime.cudaMalloc(&pointer, 16), 35);
        EXPECT_EQ(runtime.cudaGetErrorString(35), nullptr);
    }
    EXPECT_EQ(driverState.initCalls, 0);

    CudaRuntimeLayer withoutDriver(missing);
    int driverVersion = -7;
    EXPECT_NE(withoutDriver.cuDriverGetVersion(&driverVersion), 0);
    EXPECT_EQ(driverVersion, -7);
}

TEST_F(CudaRuntimeLayerTest, InitialisationFailureIsReportedByEveryCallAndNotRetried) {
    driverState.initStatus = 100;  // no device
    CudaRuntimeLayer runtime(driver);
    int count = -7;
    EXPECT_EQ(runtime.cudaGetDeviceCount(&count), 100);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(runtime.cudaSetDevice(0), 100);
    cudaDeviceProp prop{};
    EXPECT_EQ(runtime.cudaGetDeviceProperties(&prop, 0), 100);
    int runtimeVersion = 0;
    EXPECT_EQ(runtime.cudaRuntimeGetVersion(&runtimeVersion), 0);  // the driver serves it
    EXPECT_EQ(runtimeVersion, kRequiredCudaVersion);
    EXPECT_EQ(driverState.initCalls, 1);

    driverState.initStatus = 999;
    CudaRuntimeLayer failing(driver);
    EXPECT_EQ(failing.cudaGetDeviceCount(&count), 999);
    EXPECT_STREQ(failing.cudaGetErrorString(999), "unknown error");
}

TEST_F(CudaRuntimeLayerTest, MessagesAreWordedAsTheRuntimeWordsThem) {
    CudaRuntimeLayer runtime(driver);
    EXPECT_STREQ(runtime.cudaGetErrorString(0), "no error");
    EXPECT_STREQ(runtime.cudaGetErrorString(2), "out of memory");
    EXPECT_STREQ(runtime.cudaGetErrorString(21), "invalid copy direction for memcpy");
    EXPECT_STREQ(runtime.cudaGetErrorString(35),
                 "CUDA driver version is insufficient for CUDA runtime version");
    EXPECT_STREQ(runtime.cudaGetErrorString(100), "no CUDA-capable device is detected");
    EXPECT_STREQ(runtime.cudaGetErrorString(101), "invalid device ordinal");
    EXPECT_STREQ(runtime.cudaGetErrorString(803),
                 "system has unsupported display driver / cuda driver combination");
    EXPECT_STREQ(runtime.cudaGetErrorString(999), "unknown error");
    EXPECT_STREQ(runtime.cudaGetErrorString(202), "unrecognized error code");
    EXPECT_STREQ(runtime.cudaGetErrorString(-1), "unrecognized error code");
    EXPECT_STREQ(runtime.cudaGetErrorString(1000000), "unrecognized error code");
}

TEST_F(CudaRuntimeLayerTest, SetDeviceMakesThePrimaryContextCurrentOnTheCallingThread) {
    {
        CudaRuntimeLayer runtime(driver);
        EXPECT_EQ(runtime.cudaSetDevice(1), 0);
        EXPECT_EQ(currentContext, PrimaryContext(1));
        void* pointer = nullptr;
        EXPECT_EQ(runtime.cudaMalloc(&pointer, 64), 0);
        EXPECT_EQ(pointer, reinterpret_cast<void*>(std::uintptr_t{0x7000000}));
        EXPECT_EQ(runtime.cudaSetDevice(1), 0);  // retained once per device

        // A thread that selected no device works on device 0, as with the runtime.
        std::thread([&] {
            void* other = nullptr;
            EXPECT_EQ(runtime.cudaMalloc(&other, 64), 0);
            EXPECT_EQ(currentContext, PrimaryContext(0));
        }).join();
        EXPECT_EQ(currentContext, PrimaryContext(1));

        EXPECT_EQ(runtime.cudaSetDevice(7), 101);  // the driver's code passes through
        EXPECT_EQ(currentContext, PrimaryContext(1));
        EXPECT_THAT(driverState.retained, ::testing::ElementsAre(1, 0));
        EXPECT_THAT(driverState.releasedContexts, ::testing::IsEmpty());
    }
    EXPECT_THAT(driverState.releasedContexts, ::testing::ElementsAre(0, 1));
    EXPECT_THAT(driverState.allocationContexts,
                ::testing::ElementsAre(PrimaryContext(1), PrimaryContext(0)));
}

TEST_F(CudaRuntimeLayerTest, CallsReachTheDriverWithTheRuntimesMeaning) {
    CudaRuntimeLayer runtime(driver);
    ASSERT_EQ(runtime.cudaSetDevice(0), 0);

    cudaStream_t stream = nullptr;
    EXPECT_EQ(runtime.cudaStreamCreateWithFlags(&stream, cudaStreamNonBlocking), 0);
    EXPECT_EQ(driverState.streamFlags, 1u);
    cudaEvent_t event = nullptr;
    EXPECT_EQ(runtime.cudaEventCreate(&event), 0);
    EXPECT_EQ(driverState.eventFlags, 0u);  // timing enabled
    EXPECT_EQ(runtime.cudaEventSynchronize(event), 600);
    float milliseconds = 0.0f;
    EXPECT_EQ(runtime.cudaEventElapsedTime(&milliseconds, event, event), 0);
    EXPECT_EQ(milliseconds, 12.5f);

    driverState.allocStatus = 2;
    void* pointer = reinterpret_cast<void*>(std::uintptr_t{1});
    EXPECT_EQ(runtime.cudaMalloc(&pointer, 1), 2);
    EXPECT_EQ(pointer, reinterpret_cast<void*>(std::uintptr_t{1}));
    EXPECT_EQ(runtime.cudaFree(nullptr), 0);
    EXPECT_THAT(driverState.calls, ::testing::IsEmpty());

    std::uint16_t value = 0;
    const void* device = reinterpret_cast<const void*>(std::uintptr_t{0x1234});
    EXPECT_EQ(runtime.cudaMemcpy(&value, device, 2, cudaMemcpyDeviceToHost), 0);
    EXPECT_EQ(value, 0x1234);
    EXPECT_EQ(runtime.cudaMemcpy(&value, device, 2, cudaMemcpyHostToDevice), 21);
    EXPECT_EQ(runtime.cudaMemcpyAsync(&value, device, 2, cudaMemcpyDeviceToHost, stream), 21);

    cudaDeviceProp prop{};
    EXPECT_EQ(runtime.cudaGetDeviceProperties(&prop, 1), 0);
    EXPECT_STREQ(prop.name, "Device 1");
    EXPECT_EQ(prop.totalGlobalMem, std::size_t{16} << 30);
    EXPECT_EQ(runtime.cudaGetDeviceProperties(&prop, 2), 101);
    char busId[32] = {};
    EXPECT_EQ(runtime.cudaDeviceGetPCIBusId(busId, 32, 1), 0);
    EXPECT_STREQ(busId, "00000000:65:00.0");
}

TEST_F(CudaRuntimeLayerTest, DeviceAttributesComeFromTheDriverWhereItHasTheQuery) {
    CudaRuntimeLayer runtime(driver);
    int value = 0;
    EXPECT_EQ(runtime.cudaDeviceGetAttribute(&value, cudaDevAttrMultiProcessorCount, 0), 801);  // not exported
    driver.cuDeviceGetAttribute = [](int* out, int attribute, CUdevice device) {
        *out = attribute * 100 + device;
        return 0;
    };
    EXPECT_EQ(runtime.cudaDeviceGetAttribute(&value, cudaDevAttrComputeCapabilityMajor, 1), 0);
    EXPECT_EQ(value, 7501);
    EXPECT_EQ(runtime.cudaDeviceGetAttribute(&value, cudaDevAttrMultiProcessorCount, 5), 101);  // no such device
}

TEST_F(CudaRuntimeLayerTest, TheCardsUuidIsOptionalAndNeverHalfWritten) {
    CudaRuntimeLayer runtime(driver);
    const auto uuidOf = [&runtime](int ordinal) {
        cudaDeviceProp prop{};
        prop.uuid.bytes[0] = 0xEE;  // left over from an earlier read
        EXPECT_EQ(runtime.cudaGetDeviceProperties(&prop, ordinal), 0);
        return std::vector<unsigned char>(std::begin(prop.uuid.bytes), std::end(prop.uuid.bytes));
    };
    const std::vector<unsigned char> zero(16, 0);
    EXPECT_EQ(uuidOf(0), zero);  // not exported
    driver.cuDeviceGetUuid = [](cudaUUID_t* uuid, CUdevice device) {
        for (unsigned char& byte : uuid->bytes) byte = static_cast<unsigned char>(0xA0 + device);
        return device == 1 ? 999 : 0;  // device 1 fails after writing
    };
    EXPECT_EQ(uuidOf(0), std::vector<unsigned char>(16, 0xA0));
    EXPECT_EQ(uuidOf(1), zero);
}

}  // namespace
}  // namespace gemm
