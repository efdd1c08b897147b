#include "cuda/cuda_devices.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "tests/cuda/fake_nvidia.h"

namespace gemm {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testing::FakeDevice;
using testing::FakeNvidia;

FakeNvidia TwoBoards() {
    FakeNvidia fake;
    fake.devices.push_back({"NVIDIA GeForce RTX 4090", 25757220864u, "00000000:01:00.0", true,
                            0x87361043u, true,
                            {{0x1a, 0x2b, 0x3c, 0x4d, 0x5e, 0x6f, 0x70, 0x81, 0x92, 0xa3, 0xb4, 0xc5, 0xd6, 0xe7,
                              0xf8, 0x09}}});
    fake.devices.push_back({"NVIDIA GeForce RTX 4080", 17171480576u, "00000000:02:00.0", true,
                            0x51101462u, true});
    return fake;
}

std::vector<std::uint32_t> Vendors(const std::vector<GpuTarget>& targets) {
    std::vector<std::uint32_t> vendors;
    for (const GpuTarget& target : targets) vendors.push_back(target.boardVendorId);
    return vendors;
}

TEST(EnumerateCudaDevices, ListsEveryOrdinalWithItsBoardMakerFromNvml) {
    FakeNvidia fake = TwoBoards();
    const std::vector<GpuTarget> targets = EnumerateCudaDevices(fake, fake, 2);

    ASSERT_EQ(targets.size(), 2u);
    EXPECT_EQ(targets[0].cudaOrdinal, 0);
    EXPECT_EQ(targets[0].name, "NVIDIA GeForce RTX 4090");
    EXPECT_EQ(targets[0].dedicatedMemoryBytes, 25757220864u);
    EXPECT_EQ(targets[1].cudaOrdinal, 1);
    EXPECT_EQ(targets[1].name, "NVIDIA GeForce RTX 4080");
    EXPECT_THAT(Vendors(targets), ElementsAre(0x1043u, 0x1462u));
    // The physical card: bus id and UUID as nvidia-smi writes them; no UUID known for the second.
    EXPECT_EQ(targets[0].pciBusId, "00000000:01:00.0");
    EXPECT_EQ(targets[0].uuid, "GPU-1a2b3c4d-5e6f-7081-92a3-b4c5d6e7f809");
    EXPECT_EQ(targets[1].pciBusId, "00000000:02:00.0");
    EXPECT_EQ(targets[1].uuid, "");
    for (const GpuTarget& target : targets) {
        EXPECT_EQ(target.backend, BackendKind::Cuda);
        EXPECT_EQ(target.adapterLuid, AdapterLuid{});
        EXPECT_EQ(target.sharedMemoryBytes, 0u);
        EXPECT_EQ(target.directMlStatus, DirectMlStatus::Ready);
        EXPECT_FALSE(target.integrated);
    }
    EXPECT_THAT(fake.acquired, ElementsAre("nvml library", "nvml session"));
    EXPECT_EQ(fake.released, fake.ReleasedInReverse());
    EXPECT_THAT(fake.misuse, IsEmpty());
}

TEST(EnumerateCudaDevices, NoDevicesStillOpensAndClosesNvml) {
    FakeNvidia fake;
    EXPECT_THAT(EnumerateCudaDevices(fake, fake, 0), IsEmpty());
    EXPECT_THAT(fake.calls, ElementsAre("LoadNvml", "nvmlInit_v2", "nvmlShutdown", "UnloadNvml"));
}

TEST(EnumerateCudaDevices, WithoutUsableNvmlEveryEntryIsCompleteButHasNoBoardMaker) {
    struct Case {
        NvmlLoad load;
        int initStatus;
        std::vector<std::string> nvmlCalls;
    };
    const Case cases[] = {
        {NvmlLoad::Missing, 0, {"LoadNvml"}},
        {NvmlLoad::Incomplete, 0, {"LoadNvml", "UnloadNvml"}},
        {NvmlLoad::Complete, 9, {"LoadNvml", "nvmlInit_v2", "UnloadNvml"}},
    };
    for (const Case& c : cases) {
        FakeNvidia fake = TwoBoards();
        fake.nvmlLoad = c.load;
        if (c.initStatus != 0) fake.FailCall("nvmlInit_v2", c.initStatus);
        const std::vector<GpuTarget> targets = EnumerateCudaDevices(fake, fake, 2);

        EXPECT_THAT(Vendors(targets), ElementsAre(0u, 0u));
        EXPECT_EQ(targets[1].name, "NVIDIA GeForce RTX 4080");
        EXPECT_EQ(targets[1].pciBusId, "00000000:02:00.0");  // the driver's, not NVML's
        std::vector<std::string> nvmlCalls;
        for (const std::string& call : fake.calls) {
            if (call.starts_with("nvml") || call.ends_with("Nvml")) nvmlCalls.push_back(call);
        }
        EXPECT_EQ(nvmlCalls, c.nvmlCalls);
        EXPECT_EQ(fake.released, fake.ReleasedInReverse());
    }
}

TEST(EnumerateCudaDevices, AFailureInTheBoardMakerLookupOnlyLeavesThatDeviceAtZero) {
    FakeNvidia fake = TwoBoards();
    fake.devices[0].hasPciBusId = false;  // the bus-id query fails
    fake.devices.push_back(fake.devices[1]);
    fake.devices[1].knownToNvml = false;  // the handle lookup fails
    fake.devices[2].pciBusId = "00000000:03:00.0";
    fake.devices.push_back(fake.devices[2]);
    fake.devices[3].pciBusId = "00000000:04:00.0";
    fake.FailCall("nvmlDeviceGetPciInfo_v3", 3, 1);  // device 2's PCI-info query fails

    const std::vector<GpuTarget> targets = EnumerateCudaDevices(fake, fake, 4);
    EXPECT_THAT(Vendors(targets), ElementsAre(0u, 0u, 0u, 0x1462u));
    EXPECT_EQ(targets[0].pciBusId, "");
    EXPECT_EQ(targets[1].pciBusId, "00000000:02:00.0");
    EXPECT_EQ(fake.released, fake.ReleasedInReverse());
}

TEST(EnumerateCudaDevices, FailingPropertiesListNothingAndStillCloseNvml) {
    FakeNvidia fake = TwoBoards();
    fake.FailCall("cudaGetDeviceProperties", 999, 2);
    try {
        EnumerateCudaDevices(fake, fake, 2);
        FAIL() << "no exception";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "cudaGetDeviceProperties: message of CUDA status 999");
    }
    EXPECT_THAT(fake.released, ElementsAre("nvml session", "nvml library"));
}

TEST(EnumerateCudaDevices, NameIsTakenUpToItsFirstZeroAndNeverBeyondTheField) {
    FakeNvidia fake;
    fake.nvmlLoad = NvmlLoad::Missing;
    fake.devices.push_back({std::string(255, 'N'), 1, "a", true, 0, true});
    fake.devices.push_back({std::string("GPU\0garbage", 11), 1, "b", true, 0, true});
    fake.devices.push_back({std::string(256, 'X'), 1, "c", true, 0, true});  // unterminated

    const std::vector<GpuTarget> targets = EnumerateCudaDevices(fake, fake, 3);
    EXPECT_EQ(targets[0].name, std::string(255, 'N'));
    EXPECT_EQ(targets[1].name, "GPU");
    EXPECT_EQ(targets[2].name, std::string(256, 'X'));
}

}  // namespace
}  // namespace gemm
