#include "cli/commands/describe.h"

#include <gtest/gtest.h>

#include "cuda/cuda_version.h"

namespace cli {
namespace {

TEST(DescribeTest, CarriesCudaFactsVersionsAndTheLoadedLibrary) {
    TargetDiscovery found;
    GpuTarget cuda;
    cuda.cudaOrdinal = 0;
    cuda.name = "NVIDIA GeForce RTX 4090";
    found.targets = {cuda};
    found.nvidiaPresent = true;
    found.cudaState.requiredVersion = 13050;
    found.cudaState.runtimeVersion = kRequiredCudaVersion;  // what the runtime layer reports
    found.cudaState.driverVersion = 13020;
    found.cudaState.cublasMajor = 13;
    found.cudaState.cublasMinor = 1;
    found.cudaState.cublasPatch = 0;
    found.cudaState.deviceCount = 1;
    found.cudaState.driverStatus = DriverStatus::Installed;

    const DiscoveredSystem system =
        Describe(found, "/opt/cuda/lib64/libcublas.so.13", "/opt/cuda/lib64/libcublasLt.so.13");
    EXPECT_EQ(system.components.cudaRuntime, "13.5");
    EXPECT_EQ(system.components.cudaDriver, "13.2");
    EXPECT_EQ(system.components.cublas, "13.1.0");
    EXPECT_EQ(system.components.cublasLibraryPath, "/opt/cuda/lib64/libcublas.so.13");
    EXPECT_EQ(system.components.cublasLtLibraryPath, "/opt/cuda/lib64/libcublasLt.so.13");
    EXPECT_EQ(system.cudaState, found.cudaState);
#ifdef _WIN32
    EXPECT_EQ(system.cudaAdvice, CudaAdvice::Windows);
#else
    EXPECT_EQ(system.cudaAdvice, CudaAdvice::Linux);  // Linux users get Linux advice
#endif
    ASSERT_EQ(system.targetMessages.size(), 1u);
    EXPECT_TRUE(system.targetMessages[0].en.empty());  // ready: nothing to explain
}

TEST(DescribeTest, MissingPiecesStayEmptyAndAnEmptyListStillExplainsItself) {
    TargetDiscovery found;  // no NVIDIA adapter, no status from discovery
    GpuTarget amd;
    amd.backend = BackendKind::DirectMl;
    amd.directMlStatus = DirectMlStatus::NoFp16;
    found.targets = {amd};
    DiscoveredSystem system = Describe(found, "", "");
    EXPECT_TRUE(system.components.cudaRuntime.empty());
    EXPECT_TRUE(system.components.cublas.empty());
    EXPECT_TRUE(system.components.cublasLibraryPath.empty());
    EXPECT_EQ(system.targetMessages.at(0).en, L"DirectML FP16 tensors are unavailable on this graphics card.");

    found.targets.clear();
    system = Describe(found, "", "");
    EXPECT_EQ(system.status.en, L"No compatible graphics cards found");
    found.status = TextPair{L"Устройства CUDA не найдены", L"No CUDA devices found"};
    EXPECT_EQ(Describe(found, "", "").status.en, L"No CUDA devices found");
}

}  // namespace
}  // namespace cli
