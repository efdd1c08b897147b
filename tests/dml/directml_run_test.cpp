// The DirectML run against the substitute platform: shapes, bindings, timing, validation,
// stop requests, every failure, and the release of everything on every exit.

#include "dml/directml_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <vector>

#include "tests/dml/fake_platform.h"
#include "tests/dml/test_support.h"

namespace {

using gemm::BindingType;
using gemm::HeapType;

constexpr AdapterLuid kIntelLuid{0x1111, 0};
constexpr std::uint64_t kMatrixBytes = 134217728;

struct Outcome {
    std::string error;  // empty on success, "cancelled" on gemm::Cancelled
    std::vector<int> progress;
    BenchmarkResult result;
};

// Each run on its own list of abandoned adapters unless it is given the one to share.
Outcome RunOn(FakePlatform& fake, std::stop_source stop = {},
              std::function<void(int, std::stop_source&)> onProgress = {},
              const gemm::InputGenerator& generate = dmltest::PatternGenerator,
              gemm::AbandonedAdapters* shared = nullptr) {
    Outcome outcome;
    gemm::AbandonedAdapters own;
    try {
        outcome.result = gemm::RunDirectMl(
            fake, kIntelLuid, stop.get_token(),
            [&](int value) {
                outcome.progress.push_back(value);
                if (onProgress) onProgress(value, stop);
            },
            generate, shared != nullptr ? *shared : own);
    } catch (const gemm::Cancelled&) {
        outcome.error = "cancelled";
    } catch (const std::runtime_error& error) {
        outcome.error = error.what();
    }
    return outcome;
}

// Every object released once, in reverse order of creation except the two the run gives
// back early on purpose (the uncompiled operator and the upload buffer) and the context's
// event (made first, closed first), the library last.
void ExpectCleanExit(const FakePlatform& fake) {
    EXPECT_TRUE(fake.errors.empty()) << fake.errors.front();
    EXPECT_TRUE(fake.Leaks().empty()) << fake.Leaks().front();
    if (!fake.created.empty()) {
        EXPECT_TRUE(fake.LibraryUnloadedLast());
    }
    const auto early = [&](gemm::Handle handle) {
        if (fake.KindOf(handle) == "operator" || fake.KindOf(handle) == "event") return true;
        for (std::size_t i = 0; i < fake.bufferHandles.size(); ++i) {
            if (fake.bufferHandles[i] == handle)
                return fake.bufferDescs[i].heapType == HeapType::Upload;
        }
        return false;
    };
    std::vector<gemm::Handle> expected(fake.created.rbegin(), fake.created.rend());
    std::vector<gemm::Handle> actual = fake.released;
    std::erase_if(expected, early);
    std::erase_if(actual, early);
    EXPECT_EQ(actual, expected);
}

TEST(DirectMlRun, IntegratedShapeRunsSixteenBlocksAndTheWorkedExample) {
    FakePlatform fake;
    fake.dispatchTicks = [](int) { return 1'000'000; };
    const Outcome outcome = RunOn(fake);
    ASSERT_EQ(outcome.error, "");
    EXPECT_EQ(outcome.progress, (std::vector<int>{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(fake.gemmDispatches, 32 + 5 * 64);
    EXPECT_EQ(fake.initializerDispatches, 1);
    for (const SeriesTiming& series : outcome.result.series) {
        EXPECT_DOUBLE_EQ(series.msPerMultiplication, 160.0);
        EXPECT_DOUBLE_EQ(series.tflops, 6.8719476736);
    }
    EXPECT_DOUBLE_EQ(outcome.result.median.msPerMultiplication, 160.0);
    ExpectCleanExit(fake);

    // One operator for 512 rows, compiled without the half-precision permission.
    ASSERT_EQ(fake.operatorDescs.size(), 1u);
    const gemm::GemmDesc& desc = fake.operatorDescs[0];
    EXPECT_EQ(std::vector<std::uint32_t>(desc.a.sizes, desc.a.sizes + 4),
              (std::vector<std::uint32_t>{1, 1, 512, 8192}));
    EXPECT_EQ(desc.a.totalBytes, 8388608u);
    EXPECT_EQ(desc.b.totalBytes, kMatrixBytes);
    EXPECT_EQ(desc.output.totalBytes, 8388608u);
    EXPECT_EQ(desc.a.dataType, gemm::TensorDataType::Float16);
    EXPECT_EQ(desc.alpha, 1.0f);
    EXPECT_EQ(desc.beta, 0.0f);
    EXPECT_EQ(fake.compileFlags, std::vector<std::uint32_t>{0});

    // P = 4 descriptors per block, 16 blocks; block i's table starts at descriptor 4i.
    EXPECT_EQ(fake.heapSizes, std::vector<std::uint32_t>{64});
    ASSERT_EQ(fake.tableOrder.size(), 17u);
    const auto& init = fake.tables.at(fake.tableOrder[0]);
    EXPECT_EQ(init.size, 64u);
    for (std::size_t i = 1; i <= 16; ++i) {
        const auto& table = fake.tables.at(fake.tableOrder[i]);
        EXPECT_EQ(table.size, 4u);
        EXPECT_EQ(table.start.cpu - init.start.cpu, (i - 1) * 4 * 32);
        EXPECT_EQ(table.start.gpu - init.start.gpu, (i - 1) * 4 * 32);
        ASSERT_EQ(table.inputs.size(), 3u);
        EXPECT_EQ(table.inputs[0].offset, (i - 1) * 8388608);
        EXPECT_EQ(table.inputs[0].sizeInBytes, 8388608u);
        EXPECT_EQ(table.inputs[1].offset, 0u);
        EXPECT_EQ(table.inputs[1].sizeInBytes, kMatrixBytes);
        EXPECT_EQ(table.inputs[2].type, BindingType::None);
        EXPECT_EQ(table.outputs[0].offset, (i - 1) * 8388608);
    }

    // Fence values 1, 2, 3, ... one per submission: initialization, 352 dispatches, validation.
    ASSERT_EQ(fake.signalled.size(), 1u + 352u + 1u);
    for (std::size_t i = 0; i < fake.signalled.size(); ++i) EXPECT_EQ(fake.signalled[i], i + 1);
}

TEST(DirectMlRun, DiscreteShapeAndFailedArchitectureQueryRunOneBlockPerPass) {
    for (const bool queryFails : {false, true}) {
        FakePlatform fake;
        fake.adapters[0].uma = queryFails;  // a failed query counts as discrete even on UMA
        fake.adapters[0].umaQueryFails = queryFails;
        const Outcome outcome = RunOn(fake);
        ASSERT_EQ(outcome.error, "");
        EXPECT_EQ(fake.gemmDispatches, 20 + 250);
        EXPECT_EQ(fake.operatorDescs[0].a.sizes[2], 8192u);
        EXPECT_EQ(fake.heapSizes, std::vector<std::uint32_t>{4});
        // Worked example: 2,000,000 ticks per dispatch at 100 MHz.
        EXPECT_DOUBLE_EQ(outcome.result.median.msPerMultiplication, 20.0);
        EXPECT_DOUBLE_EQ(outcome.result.median.tflops, 54.9755813888);
        ExpectCleanExit(fake);
    }
}

TEST(DirectMlRun, SeriesAreSummedPerSeriesAndTheMedianPicked) {
    FakePlatform fake;
    fake.adapters[0].uma = false;
    // Series k (0-based) dispatches take 1,000,000 * (k + 1) ticks, in the order 3,1,5,2,4.
    const int order[5] = {3, 1, 5, 2, 4};
    fake.dispatchTicks = [&](int dispatch) {
        const int series = dispatch < 20 ? 0 : (dispatch - 20) / 50;
        return std::uint64_t{1'000'000} * static_cast<std::uint64_t>(order[series]);
    };
    const Outcome outcome = RunOn(fake);
    ASSERT_EQ(outcome.error, "");
    for (int k = 0; k < 5; ++k) {
        EXPECT_DOUBLE_EQ(outcome.result.series[k].msPerMultiplication, 10.0 * order[k]);
    }
    EXPECT_DOUBLE_EQ(outcome.result.median.msPerMultiplication, 30.0);
}

// Matrices made once for several adapters: the same result, everything released, the
// caller's matrices untouched.
TEST(DirectMlRun, SharedInputsRunAsGeneratedOnesDo) {
    FakePlatform generated;
    const Outcome expected = RunOn(generated);
    FakePlatform fake;
    const gemm::InputMatrices& inputs = dmltest::PatternInputs();
    gemm::AbandonedAdapters abandoned;
    const BenchmarkResult result = gemm::RunDirectMl(fake, kIntelLuid, inputs, {}, [](int) {}, abandoned);
    EXPECT_EQ(result.median.msPerMultiplication, expected.result.median.msPerMultiplication);
    EXPECT_EQ(fake.created.size(), generated.created.size());
    ExpectCleanExit(fake);
}

TEST(DirectMlRun, MappingRangesAndTheThreeValidationCopies) {
    FakePlatform fake;
    const Outcome outcome = RunOn(fake);
    ASSERT_EQ(outcome.error, "");
    // Upload: nothing read, each matrix written at its offset; read-backs: 16 bytes of
    // timestamps per timed dispatch, then 6 bytes of product values; nothing written.
    ASSERT_EQ(fake.mapReads.size(), 2u + 320u + 1u);
    EXPECT_EQ(fake.mapReads[0].end, 0u);
    EXPECT_EQ(fake.mapReads[1].end, 0u);
    EXPECT_EQ(fake.unmapWrites[0].begin, 0u);
    EXPECT_EQ(fake.unmapWrites[0].end, kMatrixBytes);
    EXPECT_EQ(fake.unmapWrites[1].begin, kMatrixBytes);
    EXPECT_EQ(fake.unmapWrites[1].end, 2 * kMatrixBytes);
    EXPECT_EQ(fake.mapReads[2].begin, 0u);
    EXPECT_EQ(fake.mapReads[2].end, 16u);
    EXPECT_EQ(fake.mapReads.back().end, 6u);
    for (std::size_t i = 2; i < fake.unmapWrites.size(); ++i) {
        EXPECT_EQ(fake.unmapWrites[i].end, 0u);
    }
    // The buffers: upload, A, B, output, readback with the heap types and sizes of the run.
    ASSERT_EQ(fake.bufferDescs.size(), 5u);
    EXPECT_EQ(fake.bufferDescs[0].heapType, HeapType::Upload);
    EXPECT_EQ(fake.bufferDescs[0].sizeInBytes, 2 * kMatrixBytes);
    EXPECT_EQ(fake.bufferDescs[0].flags, gemm::ResourceFlags::None);
    for (int i = 1; i <= 3; ++i) {
        EXPECT_EQ(fake.bufferDescs[i].heapType, HeapType::Default);
        EXPECT_EQ(fake.bufferDescs[i].sizeInBytes, kMatrixBytes);
        EXPECT_EQ(fake.bufferDescs[i].flags, gemm::ResourceFlags::AllowUnorderedAccess);
    }
    EXPECT_EQ(fake.bufferDescs[4].heapType, HeapType::Readback);
    EXPECT_EQ(fake.bufferDescs[4].sizeInBytes, 16u);
    // The substitute computed the three elements from the uploaded bytes and the blocks'
    // bindings; the run's reference check accepted them. A wrong value is refused:
    FakePlatform wrong;
    wrong.resultError = 4.0f;
    EXPECT_EQ(RunOn(wrong).error, "FP32 reference check failed");
    ExpectCleanExit(wrong);
}

TEST(DirectMlRun, TemporaryAndPersistentResources) {
    {
        // Sizes 0: no buffers, nothing bound, the initializer's output binds nothing.
        FakePlatform fake;
        ASSERT_EQ(RunOn(fake).error, "");
        EXPECT_EQ(fake.Count("BindTemporaryResource"), 0);
        EXPECT_EQ(fake.Count("BindPersistentResource"), 0);
        const auto& init = fake.tables.at(fake.tableOrder[0]);
        ASSERT_EQ(init.outputs.size(), 1u);
        EXPECT_EQ(init.outputs[0].type, BindingType::None);
        EXPECT_TRUE(init.inputs.empty());
        ExpectCleanExit(fake);
    }
    {
        // The temporary buffer has the larger of both sizes; the initializer binds it only
        // when it needs one itself, and writes the persistent buffer.
        FakePlatform fake;
        fake.initializerProperties = {0, 0, 0};
        fake.operatorProperties = {4, 3000, 5000};
        ASSERT_EQ(RunOn(fake).error, "");
        ASSERT_EQ(fake.bufferDescs.size(), 7u);
        EXPECT_EQ(fake.bufferDescs[0].sizeInBytes, 3000u);
        EXPECT_EQ(fake.bufferDescs[1].sizeInBytes, 5000u);
        EXPECT_EQ(fake.bufferDescs[0].initialState, gemm::ResourceState::UnorderedAccess);
        const auto& init = fake.tables.at(fake.tableOrder[0]);
        EXPECT_FALSE(init.temporary.has_value());
        EXPECT_EQ(init.outputs[0].type, BindingType::Buffer);
        EXPECT_EQ(init.outputs[0].sizeInBytes, 5000u);
        for (std::size_t i = 1; i < fake.tableOrder.size(); ++i) {
            const auto& table = fake.tables.at(fake.tableOrder[i]);
            ASSERT_TRUE(table.temporary && table.persistent);
            EXPECT_EQ(table.temporary->sizeInBytes, 3000u);
            EXPECT_EQ(table.persistent->sizeInBytes, 5000u);
        }
        ExpectCleanExit(fake);
    }
    {
        FakePlatform fake;
        fake.initializerProperties = {2, 7000, 0};
        fake.operatorProperties = {4, 0, 0};
        ASSERT_EQ(RunOn(fake).error, "");
        EXPECT_EQ(fake.bufferDescs[0].sizeInBytes, 7000u);
        EXPECT_TRUE(fake.tables.at(fake.tableOrder[0]).temporary.has_value());
        EXPECT_FALSE(fake.tables.at(fake.tableOrder[1]).temporary.has_value());
        ExpectCleanExit(fake);
    }
}

TEST(DirectMlRun, DescriptorCountsRaisedToOneAndNeverBelowTheInitializer) {
    FakePlatform fake;
    fake.operatorProperties = {0, 0, 0};
    ASSERT_EQ(RunOn(fake).error, "");
    EXPECT_EQ(fake.heapSizes, std::vector<std::uint32_t>{16});
    EXPECT_EQ(fake.tables.at(fake.tableOrder[16]).size, 1u);
    EXPECT_EQ(fake.tables.at(fake.tableOrder[16]).start.cpu -
                  fake.tables.at(fake.tableOrder[0]).start.cpu,
              15u * 32u);

    FakePlatform big;
    big.initializerProperties = {100, 0, 0};
    ASSERT_EQ(RunOn(big).error, "");
    EXPECT_EQ(big.heapSizes, std::vector<std::uint32_t>{100});
    EXPECT_EQ(big.tables.at(big.tableOrder[0]).size, 100u);
    ExpectCleanExit(big);
}

TEST(DirectMlRun, StopRequests) {
    {
        // Before the run: the input generation notices it; nothing of the GPU ran.
        FakePlatform fake;
        std::stop_source stop;
        stop.request_stop();
        EXPECT_EQ(RunOn(fake, stop).error, "cancelled");
        EXPECT_EQ(fake.Count("ExecuteCommandList"), 0);
        ExpectCleanExit(fake);
    }
    {
        // At progress 0: before the first warm-up submission.
        FakePlatform fake;
        const Outcome outcome = RunOn(fake, {}, [](int value, std::stop_source& stop) {
            if (value == 0) stop.request_stop();
        });
        EXPECT_EQ(outcome.error, "cancelled");
        EXPECT_EQ(outcome.progress, std::vector<int>{0});
        EXPECT_EQ(fake.gemmDispatches, 0);
        ExpectCleanExit(fake);
    }
    {
        // During the warm-up: the dispatch in flight is waited for, no further one starts.
        FakePlatform fake;
        std::stop_source stop;
        fake.onCall = [&](const std::string& call) {
            if (call == "ExecuteCommandList" && fake.gemmDispatches == 5) stop.request_stop();
        };
        EXPECT_EQ(RunOn(fake, stop).error, "cancelled");
        EXPECT_EQ(fake.gemmDispatches, 6);
        EXPECT_EQ(fake.Count("WaitForEvent"), 1 + 6);
        ExpectCleanExit(fake);
    }
    {
        // During series 3: progress stops at 2.
        FakePlatform fake;
        std::stop_source stop;
        fake.onCall = [&](const std::string& call) {
            if (call == "ExecuteCommandList" && fake.gemmDispatches == 32 + 2 * 64 + 10) {
                stop.request_stop();
            }
        };
        const Outcome outcome = RunOn(fake, stop);
        EXPECT_EQ(outcome.error, "cancelled");
        EXPECT_EQ(outcome.progress, (std::vector<int>{0, 1, 2}));
        ExpectCleanExit(fake);
    }
    {
        // During the last dispatch: honoured after progress 5, before validation.
        FakePlatform fake;
        const Outcome outcome = RunOn(fake, {}, [](int value, std::stop_source& stop) {
            if (value == 5) stop.request_stop();
        });
        EXPECT_EQ(outcome.error, "cancelled");
        EXPECT_EQ(outcome.progress, (std::vector<int>{0, 1, 2, 3, 4, 5}));
        EXPECT_EQ(fake.gemmDispatches, 352);
        EXPECT_EQ(fake.Count("ResetAllocator"), 0);
        ExpectCleanExit(fake);
    }
}

struct FailureRow {
    const char* name;
    std::function<void(FakePlatform&)> arrange;
    const char* text;
    std::vector<int> progress;
};

const std::vector<int> kNone;
const std::vector<int> kAll{0, 1, 2, 3, 4, 5};

void FailCall(FakePlatform& fake, const char* call, int occurrence = 0) {
    fake.Fail(call, FakePlatform::kFail, occurrence);
}

TEST(DirectMlRun, EveryFailureEndsTheRunWithItsTextAndReleasesEverything) {
    const int lastTimedMap = 2 + 320;  // upload twice, then timestamps
    const std::vector<FailureRow> rows = {
        {"no library", [](FakePlatform& f) { f.libraryPresent = false; },
         "DirectML.dll is unavailable", kNone},
        {"no export", [](FakePlatform& f) { f.exportPresent = false; },
         "DirectML.dll is unavailable", kNone},
        {"factory", [](FakePlatform& f) { FailCall(f, "CreateDxgiFactory"); },
         "CreateDXGIFactory1 (0x80004005)", kNone},
        {"unknown LUID",
         [](FakePlatform& f) {
             f.adapters[0].desc.luid = {9, 9};
         },
         "Find the selected DirectML GPU (0x887A0002)", kNone},
        {"device", [](FakePlatform& f) { f.adapters[0].createDeviceFails = true; },
         "D3D12CreateDevice (0x80004005)", kNone},
        {"DirectML device", [](FakePlatform& f) { f.adapters[0].dmlDeviceFails = true; },
         "DMLCreateDevice (0x80004005)", kNone},
        {"FP16 query", [](FakePlatform& f) { f.adapters[0].fp16QueryFails = true; },
         "DirectML FP16 tensors are unavailable on this GPU", kNone},
        {"no FP16", [](FakePlatform& f) { f.adapters[0].fp16Supported = false; },
         "DirectML FP16 tensors are unavailable on this GPU", kNone},
        {"operator", [](FakePlatform& f) { FailCall(f, "CreateGemmOperator"); },
         "Create DirectML FP16 GEMM (0x80004005)", kNone},
        {"compile", [](FakePlatform& f) { FailCall(f, "CompileOperator"); },
         "Compile DirectML FP16 GEMM (0x80004005)", kNone},
        {"initializer", [](FakePlatform& f) { FailCall(f, "CreateOperatorInitializer"); },
         "CreateOperatorInitializer (0x80004005)", kNone},
        {"recorder", [](FakePlatform& f) { FailCall(f, "CreateCommandRecorder"); },
         "CreateCommandRecorder (0x80004005)", kNone},
        {"heap", [](FakePlatform& f) { FailCall(f, "CreateDescriptorHeap"); },
         "CreateDescriptorHeap (0x80004005)", kNone},
        {"initializer table", [](FakePlatform& f) { FailCall(f, "CreateBindingTable"); },
         "CreateBindingTable (0x80004005)", kNone},
        {"temporary buffer",
         [](FakePlatform& f) {
             f.operatorProperties.temporaryResourceSize = 64;
             FailCall(f, "CreateCommittedBuffer");
         },
         "Direct3D 12 buffer allocation (0x80004005)", kNone},
        {"upload buffer", [](FakePlatform& f) { FailCall(f, "CreateCommittedBuffer"); },
         "Direct3D 12 buffer allocation (0x80004005)", kNone},
        {"upload mapping", [](FakePlatform& f) { FailCall(f, "Map", 1); },
         "Direct3D 12 upload mapping (0x80004005)", kNone},
        {"output buffer", [](FakePlatform& f) { FailCall(f, "CreateCommittedBuffer", 3); },
         "Direct3D 12 buffer allocation (0x80004005)", kNone},
        {"event", [](FakePlatform& f) { f.eventFails = true; },
         "Could not create the Direct3D 12 fence event", kNone},
        {"queue", [](FakePlatform& f) { FailCall(f, "CreateCommandQueue"); },
         "CreateCommandQueue (0x80004005)", kNone},
        {"allocator", [](FakePlatform& f) { FailCall(f, "CreateCommandAllocator"); },
         "CreateCommandAllocator (0x80004005)", kNone},
        {"context list", [](FakePlatform& f) { FailCall(f, "CreateCommandList"); },
         "CreateCommandList (0x80004005)", kNone},
        {"fence", [](FakePlatform& f) { FailCall(f, "CreateFence"); }, "CreateFence (0x80004005)",
         kNone},
        {"closing initialization", [](FakePlatform& f) { FailCall(f, "CloseList"); },
         "Close DirectML initialization command list (0x80004005)", kNone},
        {"device lost at initialization", [](FakePlatform& f) { f.deviceLostAtSubmission = 1; },
         "Direct3D 12 device lost (0x887A0005)", kNone},
        {"readback buffer", [](FakePlatform& f) { FailCall(f, "CreateCommittedBuffer", 4); },
         "Direct3D 12 buffer allocation (0x80004005)", kNone},
        {"query heap", [](FakePlatform& f) { FailCall(f, "CreateTimestampQueryHeap"); },
         "Create GPU timestamp query heap (0x80004005)", kNone},
        {"frequency call", [](FakePlatform& f) { FailCall(f, "GetTimestampFrequency"); },
         "GPU timestamp frequency (0x80004005)", kNone},
        {"frequency 0", [](FakePlatform& f) { f.timestampFrequency = 0; },
         "Invalid GPU timestamp frequency", kNone},
        {"block table", [](FakePlatform& f) { FailCall(f, "CreateBindingTable", 5); },
         "Create GEMM binding table (0x80004005)", kNone},
        {"block list", [](FakePlatform& f) { FailCall(f, "CreateCommandList", 16); },
         "Create GEMM command list (0x80004005)", kNone},
        {"closing a block list", [](FakePlatform& f) { FailCall(f, "CloseList", 3); },
         "Close DirectML benchmark command list (0x80004005)", kNone},
        {"device lost in the warm-up", [](FakePlatform& f) { f.deviceLostAtSubmission = 10; },
         "Direct3D 12 device lost (0x887A0005)", std::vector<int>{0}},
        {"equal timestamps in series 4",
         [](FakePlatform& f) {
             f.dispatchTicks = [](int d) { return d == 32 + 3 * 64 + 7 ? 0 : 1000; };
         },
         "Invalid DirectML GPU timestamp interval", std::vector<int>{0, 1, 2, 3}},
        {"timestamp mapping", [](FakePlatform& f) { FailCall(f, "Map", 2); },
         "Direct3D 12 readback mapping (0x80004005)", std::vector<int>{0}},
        {"allocator reset", [](FakePlatform& f) { FailCall(f, "ResetAllocator"); },
         "Direct3D 12 allocator reset (0x80004005)", kAll},
        {"list reset", [](FakePlatform& f) { FailCall(f, "ResetList"); },
         "Direct3D 12 command list reset (0x80004005)", kAll},
        {"closing validation", [](FakePlatform& f) { FailCall(f, "CloseList", 17); },
         "Close DirectML validation command list (0x80004005)", kAll},
        {"device lost at validation", [](FakePlatform& f) { f.deviceLostAtSubmission = 354; },
         "Direct3D 12 device lost (0x887A0005)", kAll},
        {"validation mapping", [=](FakePlatform& f) { FailCall(f, "Map", lastTimedMap); },
         "Direct3D 12 readback mapping (0x80004005)", kAll},
        {"wrong product", [](FakePlatform& f) { f.resultError = 1000.0f; },
         "FP32 reference check failed", kAll},
    };
    for (const FailureRow& row : rows) {
        SCOPED_TRACE(row.name);
        FakePlatform fake;
        row.arrange(fake);
        const Outcome outcome = RunOn(fake);
        EXPECT_EQ(outcome.error, row.text);
        EXPECT_EQ(outcome.progress, row.progress);
        ExpectCleanExit(fake);
    }
}

// Work was submitted but its event cannot tell when it is done: the run waits for the fence
// without the event, then releases everything. Only when the fence cannot be signalled (or not
// even that wait is possible) may the GPU still use every object of the run, and none is given
// back (the substitute reports any release while its queue holds work) unless the device
// reports removal, which ends all of its work.
TEST(DirectMlRun, OnlyWorkThatCannotBeWaitedForLeavesItsObjectsBehind) {
    struct Row {
        FailureRow failure;
        bool waitable;
        int submission;  // the one that fails (1-based)
    };
    const auto failBoth = [](FakePlatform& f) {
        FailCall(f, "SetEventOnCompletion", 0);
        FailCall(f, "SetEventOnCompletion", 1);  // and without the event
    };
    const std::vector<Row> rows = {
        {{"fence completion", [](FakePlatform& f) { FailCall(f, "SetEventOnCompletion"); },
          "Direct3D 12 fence completion (0x80004005)", kNone}, true, 1},
        {{"wait", [](FakePlatform& f) { f.waitFails = true; }, "Direct3D 12 fence wait failed", kNone}, true, 1},
        {{"signal", [](FakePlatform& f) { FailCall(f, "Signal"); }, "Direct3D 12 queue signal (0x80004005)", kNone},
         false, 1},
        {{"signal in series 2", [](FakePlatform& f) { FailCall(f, "Signal", 1 + 32 + 64 + 3); },
          "Direct3D 12 queue signal (0x80004005)", std::vector<int>{0, 1}}, false, 1 + 32 + 64 + 4},
        {{"fence completion with and without the event", failBoth, "Direct3D 12 fence completion (0x80004005)",
          kNone}, false, 1},
    };
    for (const auto& [row, waitable, submission] : rows) {
        for (const bool removed : {false, true}) {
            SCOPED_TRACE(std::string(row.name) + (removed ? ", device removed" : ""));
            FakePlatform fake;
            row.arrange(fake);
            if (removed) fake.deviceLostAtSubmission = submission;
            gemm::AbandonedAdapters abandoned;
            const Outcome outcome = RunOn(fake, {}, {}, dmltest::PatternGenerator, &abandoned);
            EXPECT_EQ(outcome.error, row.text);
            EXPECT_EQ(outcome.progress, row.progress);
            if (waitable || removed) {
                ExpectCleanExit(fake);
                EXPECT_FALSE(abandoned.Contains(kIntelLuid));
            } else {
                EXPECT_TRUE(fake.errors.empty()) << fake.errors.front();
                EXPECT_TRUE(fake.ObjectsAbandoned());
                EXPECT_TRUE(abandoned.Contains(kIntelLuid));
                const auto submitted =
                    std::find(fake.calls.rbegin(), fake.calls.rend(), "ExecuteCommandList");
                for (auto call = fake.calls.rbegin(); call != submitted; ++call) {
                    EXPECT_TRUE(*call != "Release" && *call != "CloseEvent" &&
                                *call != "FreeLibrary");
                }
            }
        }
    }
}

// Direct3D 12 would hand a later run the device whose work was abandoned: the adapter is
// refused, saying why, before anything is made; the process's other adapters are not.
TEST(DirectMlRun, AnAdapterWithAbandonedObjectsIsRefusedUntilTheProgramRestarts) {
    FakePlatform fake;
    FailCall(fake, "Signal", 5);
    gemm::AbandonedAdapters abandoned;
    EXPECT_EQ(RunOn(fake, {}, {}, dmltest::PatternGenerator, &abandoned).error,
              "Direct3D 12 queue signal (0x80004005)");
    EXPECT_TRUE(abandoned.Contains(kIntelLuid));
    EXPECT_FALSE(abandoned.Contains(AdapterLuid{0x2222, 0}));

    const std::size_t madeBefore = fake.created.size();
    const Outcome refused = RunOn(fake, {}, {}, dmltest::PatternGenerator, &abandoned);
    EXPECT_EQ(refused.error, "An earlier run on this graphics card could not be finished. Restart the program to "
                             "test it again.");
    EXPECT_TRUE(refused.progress.empty());
    EXPECT_EQ(fake.created.size(), madeBefore);
    EXPECT_EQ(gemm::AdapterNeedsRestartMessage().ru,
              L"Предыдущий тест на этой видеокарте не удалось завершить. Перезапустите программу, чтобы снова "
              L"протестировать её.");
}

// One device per adapter: while any reference to a removed device lives, no new one can be made;
// a run that lost its device releases every reference, so the next run gets a working one.
TEST(DirectMlRun, AfterALostDeviceTheNextRunGetsANewOne) {
    FakePlatform fake;
    fake.deviceLostAtSubmission = 10;
    gemm::AbandonedAdapters abandoned;
    EXPECT_EQ(RunOn(fake, {}, {}, dmltest::PatternGenerator, &abandoned).error, "Direct3D 12 device lost (0x887A0005)");
    const Outcome next = RunOn(fake, {}, {}, dmltest::PatternGenerator, &abandoned);
    EXPECT_EQ(next.error, "");
    EXPECT_TRUE(fake.errors.empty()) << fake.errors.front();
    EXPECT_TRUE(fake.Leaks().empty());

    // A reference kept elsewhere keeps the removed device, and creation fails.
    FakePlatform held;
    gemm::Handle factory = 0, adapter = 0, device = 0;
    held.CreateDxgiFactory(&factory);
    held.EnumAdapters(factory, 0, &adapter);
    held.CreateDevice(adapter, &device);
    held.deviceLostAtSubmission = 1;
    EXPECT_EQ(RunOn(held).error, "Direct3D 12 device lost (0x887A0005)");
    EXPECT_EQ(RunOn(held).error, "D3D12CreateDevice (0x887A0005)");
    // The run handed out the same device as the one held.
    EXPECT_EQ(std::count(held.created.begin(), held.created.end(), device), 2);
}

TEST(DirectMlRun, MissingLibraryFailsBeforeAnyOtherObject) {
    FakePlatform fake;
    fake.exportPresent = false;
    EXPECT_EQ(RunOn(fake).error, "DirectML.dll is unavailable");
    EXPECT_EQ(fake.created.size(), 1u);  // the library, unloaded again
    EXPECT_EQ(fake.Count("CreateDxgiFactory"), 0);
    ExpectCleanExit(fake);
}

}  // namespace
