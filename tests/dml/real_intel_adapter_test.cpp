// Discovery and the benchmark run on Wine's Intel adapter, through the real calls.

#include <gtest/gtest.h>

#include "dml/adapter_discovery.h"
#include "dml/directml_run.h"
#include "tests/dml/counting_platform.h"
#include "tests/dml/real_stack.h"

namespace {

TEST(RealIntelAdapter, DiscoveryListsItReadyAndIntegratedOrWithoutDirectMl) {
    REQUIRE_REAL_STACK();
    realstack::InstallDirectMl(true);
    std::vector<GpuTarget> targets = gemm::FindDirectMlAdapters();
    ASSERT_EQ(targets.size(), 1u);
    EXPECT_EQ(targets[0].name, "Intel(R) UHD Graphics 630");
    EXPECT_EQ(targets[0].backend, BackendKind::DirectMl);
    EXPECT_EQ(targets[0].cudaOrdinal, -1);
    EXPECT_EQ(targets[0].directMlStatus, DirectMlStatus::Ready);
    EXPECT_TRUE(targets[0].integrated);

    realstack::InstallDirectMl(false);
    targets = gemm::FindDirectMlAdapters();
    ASSERT_EQ(targets.size(), 1u);
    EXPECT_EQ(targets[0].directMlStatus, DirectMlStatus::NoDirectMl);
    EXPECT_TRUE(targets[0].integrated);
}

// Stopped at the first warm-up check: every object of the run exists by then.
TEST(RealIntelAdapter, RunStoppedAtProgressZeroBuiltAndReleasedEverything) {
    REQUIRE_REAL_STACK();
    realstack::InstallDirectMl(true);
    const std::vector<GpuTarget> targets = gemm::FindDirectMlAdapters();
    ASSERT_EQ(targets.size(), 1u);

    CountingPlatform platform;
    StoppedRun run = RunStoppedAtFirstProgress(platform, targets[0].adapterLuid);
    realstack::InstallDirectMl(false);
    auto& [progress, createdAtStart, liveAtStart] = run;

    EXPECT_EQ(progress, std::vector<int>{0});
    // Integrated shape: 16 block tables and lists besides the initializer's and the context's.
    EXPECT_EQ(createdAtStart["CreateBindingTable"], 17);
    EXPECT_EQ(createdAtStart["CreateCommandList"], 17);
    EXPECT_EQ(createdAtStart["CreateCommittedBuffer"], 5);  // upload, A, B, output, readback
    for (const char* call :
         {"LoadDirectMl", "CreateDxgiFactory", "EnumAdapterByLuid", "CreateDevice",
          "DmlCreateDevice", "CreateGemmOperator", "CompileOperator", "CreateOperatorInitializer",
          "CreateCommandRecorder", "CreateDescriptorHeap", "CreateCommandQueue",
          "CreateCommandAllocator", "CreateFence", "CreateFenceEvent",
          "CreateTimestampQueryHeap"}) {
        EXPECT_EQ(createdAtStart[call], 1) << call;
    }
    // Tables, lists, four buffers and the fourteen single objects (the library included);
    // the uncompiled operator and the upload buffer were already gone.
    EXPECT_EQ(liveAtStart, 17u + 17u + 4u + 14u);
    EXPECT_TRUE(platform.live.empty());
    EXPECT_TRUE(platform.errors.empty());
    ASSERT_FALSE(platform.events.empty());
    EXPECT_EQ(platform.events.back(), "free");
}

}  // namespace
