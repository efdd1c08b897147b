// Discovery on the machine the tests run on, through the real platform calls.

#include "discovery/system_discovery.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "discovery/cuda_components.h"
#include "discovery/pci_inventory.h"

namespace {

TEST(SystemDiscovery, MachineWithoutGraphicsCardsListsNothing) {
    if (ScanPciDisplayAdapters().nvidiaPresent) {
        GTEST_SKIP() << "this machine has an NVIDIA display adapter";
    }
    const TargetDiscovery found = DiscoverSystemTargets();
    if (!found.targets.empty()) {
        GTEST_SKIP() << "this machine has a DirectML adapter";
    }
    EXPECT_FALSE(found.nvidiaPresent);
    EXPECT_EQ(found.cudaState, CudaComponentsState{});
    EXPECT_EQ(found.defaultIndex, 0u);
    ASSERT_TRUE(found.status);
    EXPECT_EQ(found.status->en,
              L"A CUDA-capable NVIDIA GPU or an AMD/Intel GPU with DirectML FP16 support is required.");
}

#if !defined(_WIN32)
// The toolkit directories under /usr/local are searched: this machine's CUDA 13.0 toolkit
// holds a real cuBLAS 13.
TEST(SystemDiscovery, FindsTheCublasOfALocalToolkit) {
    const std::filesystem::path toolkit = "/usr/local/cuda-13.0/lib64/libcublas.so.13";
    if (!std::filesystem::exists(toolkit)) {
        GTEST_SKIP() << "no CUDA 13.0 toolkit under /usr/local";
    }
    EXPECT_THAT(FindCublasDirectories(), ::testing::Contains(std::filesystem::path("/usr/local/cuda-13.0/lib64")));

    const CudaComponentsState state = DetectCudaComponents(PciDisplayScan{true, false});
    EXPECT_FALSE(state.cublasMissing);
    EXPECT_EQ(state.cublasMajor, 13);
    std::error_code error;
    EXPECT_TRUE(std::filesystem::equivalent(LoadedCublasLibraryPath(), toolkit, error))
        << LoadedCublasLibraryPath();
    EXPECT_TRUE(std::filesystem::equivalent(LoadedCublasLtLibraryPath(), toolkit.parent_path() / "libcublasLt.so.13", error))
        << LoadedCublasLtLibraryPath();
    if (state.driverVersion == 0) {
        // No driver library: the runtime is not asked.
        EXPECT_EQ(state.runtimeVersion, 0);
        EXPECT_EQ(state.driverStatus, DriverStatus::NotInstalled);
    }
}
#endif

}  // namespace
