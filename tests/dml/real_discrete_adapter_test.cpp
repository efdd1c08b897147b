// Discovery and the benchmark run on Wine's AMD adapter over lavapipe presented as a discrete
// GPU (tests/dml/discrete_layer), through the real calls.

#include <gtest/gtest.h>

#include "dml/adapter_discovery.h"
#include "dml/directml_run.h"
#include "tests/dml/counting_platform.h"
#include "tests/dml/real_stack.h"

namespace {

TEST(RealDiscreteAdapter, DiscoveryListsItReadyAndNotIntegrated) {
    REQUIRE_REAL_STACK();
    realstack::InstallDirectMl(true);
    const std::vector<GpuTarget> targets = gemm::FindDirectMlAdapters();
    realstack::InstallDirectMl(false);
    ASSERT_EQ(targets.size(), 1u);
    EXPECT_EQ(targets[0].name, "Radeon RX 6800/6800 XT / 6900 XT");  // Wine's name for 0x1002:0x73BF
    EXPECT_EQ(targets[0].backend, BackendKind::DirectMl);
    EXPECT_EQ(targets[0].directMlStatus, DirectMlStatus::Ready);
    EXPECT_FALSE(targets[0].integrated);
}

// The real calls, also noting the operator's rows, the buffers and the submitted lists.
class DiscreteShapePlatform : public CountingPlatform {
public:
    std::vector<std::uint32_t> operatorRows;
    std::vector<std::pair<gemm::HeapType, std::uint64_t>> buffers;
    int submissions = 0;

    HResult CreateGemmOperator(Handle device, const gemm::GemmDesc& desc, Handle* op) override {
        operatorRows.push_back(desc.a.sizes[2]);
        operatorRows.push_back(desc.output.sizes[2]);
        return CountingPlatform::CreateGemmOperator(device, desc, op);
    }
    HResult CreateCommittedBuffer(Handle device, const gemm::BufferDesc& desc, Handle* out) override {
        buffers.emplace_back(desc.heapType, desc.sizeInBytes);
        return CountingPlatform::CreateCommittedBuffer(device, desc, out);
    }
    void ExecuteCommandList(Handle queue, Handle list) override {
        ++submissions;
        CountingPlatform::ExecuteCommandList(queue, list);
    }
};

// Stopped at the first warm-up check: every object of the discrete shape exists by then.
TEST(RealDiscreteAdapter, RunStoppedAtProgressZeroBuiltTheDiscreteShapeAndReleasedEverything) {
    REQUIRE_REAL_STACK();
    realstack::InstallDirectMl(true);
    const std::vector<GpuTarget> targets = gemm::FindDirectMlAdapters();
    ASSERT_EQ(targets.size(), 1u);

    DiscreteShapePlatform platform;
    int submissionsAtStart = 0;
    StoppedRun run = RunStoppedAtFirstProgress(platform, targets[0].adapterLuid,
                                               [&] { submissionsAtStart = platform.submissions; });
    realstack::InstallDirectMl(false);
    auto& [progress, createdAtStart, liveAtStart] = run;

    EXPECT_EQ(progress, std::vector<int>{0});
    // One operator over all 8192 rows, one block table and list besides the initializer's
    // and the context's.
    EXPECT_EQ(platform.operatorRows, (std::vector<std::uint32_t>{8192, 8192}));
    EXPECT_EQ(createdAtStart["CreateOperatorInitializer"], 1);
    EXPECT_EQ(createdAtStart["CreateBindingTable"], 2);
    EXPECT_EQ(createdAtStart["CreateCommandList"], 2);
    using enum gemm::HeapType;
    constexpr std::uint64_t kMatrix = 134217728;
    EXPECT_EQ(platform.buffers, (std::vector<std::pair<gemm::HeapType, std::uint64_t>>{
                                    {Upload, 2 * kMatrix}, {Default, kMatrix}, {Default, kMatrix},
                                    {Default, kMatrix}, {Readback, 16}}));
    // Only the initialisation ran: the stop was honoured before the first multiplication.
    EXPECT_EQ(submissionsAtStart, 1);
    EXPECT_EQ(platform.submissions, 1);
    // Tables, lists, four buffers and the fourteen single objects (the library included);
    // the uncompiled operator and the upload buffer were already gone.
    EXPECT_EQ(liveAtStart, 2u + 2u + 4u + 14u);
    EXPECT_TRUE(platform.live.empty());
    EXPECT_TRUE(platform.errors.empty());
    ASSERT_FALSE(platform.events.empty());
    EXPECT_EQ(platform.events.back(), "free");
}

}  // namespace
