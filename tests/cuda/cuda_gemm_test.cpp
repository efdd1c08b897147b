#include "cuda/cuda_gemm.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/cuda/fake_nvidia.h"

namespace gemm {
namespace {

using ::testing::ElementsAre;
using testing::FakeNvidia;

constexpr std::size_t kElements = static_cast<std::size_t>(BenchmarkPlan::elementsPerMatrix);

// Varied, non-symmetric matrices that are quick to make: the card's product is computed from
// the uploaded bytes, so a wrong operand order or a wrong element fails the check.
const InputMatrices& PatternInputs() {
    static const InputMatrices inputs = [] {
        std::uint16_t values[16];
        for (int i = 0; i < 16; ++i) values[i] = FloatToHalf((static_cast<float>(i) - 7.0f) / 4.0f);
        InputMatrices made;
        made.a.resize(kElements);
        made.b.resize(kElements);
        for (std::size_t i = 0; i < kElements; ++i) {
            made.a[i] = values[((i * 2654435761u) >> 9) & 15];
            made.b[i] = values[((i * 40503u + i / 8192) >> 3) & 15];
        }
        return made;
    }();
    return inputs;
}

InputMatrices CopyOfPatternInputs(std::stop_token stopToken) {
    if (stopToken.stop_requested()) throw Cancelled{};
    return PatternInputs();
}

struct FakeRun {
    FakeNvidia fake;
    std::vector<int> progress;
    std::stop_source stop;

    FakeRun() { fake.devices.push_back({"Card", 1, "00000000:01:00.0", true, 0, true}); }

    BenchmarkResult Start(MatrixGenerator generate = CopyOfPatternInputs) {
        return RunCuda(fake, fake, generate, 0, stop.get_token(), [this](int value) {
            progress.push_back(value);
            fake.calls.push_back("progress " + std::to_string(value));
        });
    }

    // Every acquired object was released exactly once, in reverse order, and nothing was
    // used while not alive.
    void ExpectCleanRelease() const {
        EXPECT_EQ(fake.released, fake.ReleasedInReverse());
        EXPECT_THAT(fake.misuse, ::testing::IsEmpty());
    }
};

std::string RunFailure(FakeRun& run) {
    try {
        run.Start();
    } catch (const std::runtime_error& error) {
        return error.what();
    }
    return "no failure";
}

std::vector<std::string> ExpectedSuccessfulCalls() {
    std::vector<std::string> calls = {"cudaSetDevice",      "cudaMalloc",
                                      "cudaMalloc",         "cudaMalloc",
                                      "cudaStreamCreateWithFlags", "cublasCreate_v2",
                                      "cudaEventCreate",    "cudaEventCreate",
                                      "cudaMemcpyAsync",    "cudaMemcpyAsync",
                                      "cublasSetStream_v2", "cublasSetMathMode",
                                      "progress 0"};
    calls.insert(calls.end(), 20, "cublasGemmEx");
    calls.push_back("cudaStreamSynchronize");
    for (int k = 1; k <= 5; ++k) {
        calls.push_back("cudaEventRecord event 1");
        calls.insert(calls.end(), 50, "cublasGemmEx");
        calls.push_back("cudaEventRecord event 2");
        calls.push_back("cudaEventSynchronize event 2");
        calls.push_back("cudaEventElapsedTime");
        calls.push_back("progress " + std::to_string(k));
    }
    calls.insert(calls.end(), {"cudaMemcpy", "cudaMemcpy", "cudaMemcpy", "cudaEventDestroy",
                               "cudaEventDestroy", "cublasDestroy_v2", "cudaStreamDestroy",
                               "cudaFree", "cudaFree", "cudaFree"});
    return calls;
}

TEST(RunCuda, SuccessfulRunFollowsThePlanAndReturnsTheMedian) {
    FakeRun run;
    const float times[5] = {260.0f, 245.0f, 250.0f, 255.0f, 240.0f};
    std::copy(std::begin(times), std::end(times), run.fake.seriesMilliseconds);

    const BenchmarkResult result = run.Start();

    EXPECT_EQ(run.fake.calls, ExpectedSuccessfulCalls());
    EXPECT_THAT(run.progress, ElementsAre(0, 1, 2, 3, 4, 5));
    EXPECT_THAT(run.fake.acquired,
                ElementsAre("buffer 1", "buffer 2", "buffer 3", "stream", "cublas handle",
                            "event 1", "event 2"));
    run.ExpectCleanRelease();
    EXPECT_EQ(result.median.msPerMultiplication, 5.0);
    EXPECT_DOUBLE_EQ(result.median.tflops, 219.9023255552);
    EXPECT_EQ(result.series[0].msPerMultiplication, 5.2);
    EXPECT_EQ(result.series[4].msPerMultiplication, 4.8);
    EXPECT_THAT(run.fake.readBackOffsets, ElementsAre(0u, 279440u, 134217726u));
}

// Matrices made once for several cards: the same calls and the same result, nothing generated.
TEST(RunCuda, SharedInputsRunAsGeneratedOnesDo) {
    FakeRun generated;
    const BenchmarkResult expected = generated.Start();
    FakeRun shared;
    const BenchmarkResult result = RunCuda(shared.fake, shared.fake, PatternInputs(), 0, {}, [&](int value) {
        shared.fake.calls.push_back("progress " + std::to_string(value));
    });
    EXPECT_EQ(shared.fake.calls, generated.fake.calls);
    EXPECT_EQ(result.median.msPerMultiplication, expected.median.msPerMultiplication);
    shared.ExpectCleanRelease();
}

TEST(RunCuda, MultipliesWithBsBufferFirstInFp16WithFp32ComputeOnTheRunsStream) {
    FakeRun run;
    run.Start();

    EXPECT_EQ(run.fake.streamBoundToHandle, run.fake.CreatedStream());
    EXPECT_EQ(run.fake.mathMode, 16);
    ASSERT_EQ(run.fake.gemms.size(), 270u);
    for (const testing::GemmCall& gemm : run.fake.gemms) {
        EXPECT_EQ(gemm.handle, run.fake.CreatedHandle());
        EXPECT_EQ(gemm.transa, CUBLAS_OP_N);
        EXPECT_EQ(gemm.transb, CUBLAS_OP_N);
        EXPECT_EQ(gemm.m, 8192);
        EXPECT_EQ(gemm.n, 8192);
        EXPECT_EQ(gemm.k, 8192);
        EXPECT_EQ(gemm.alpha, 1.0f);
        EXPECT_EQ(run.fake.AddressName(gemm.A), "buffer 2");  // B's upload
        EXPECT_EQ(gemm.Atype, CUDA_R_16F);
        EXPECT_EQ(gemm.lda, 8192);
        EXPECT_EQ(run.fake.AddressName(gemm.B), "buffer 1");  // A's upload
        EXPECT_EQ(gemm.Btype, CUDA_R_16F);
        EXPECT_EQ(gemm.ldb, 8192);
        EXPECT_EQ(gemm.beta, 0.0f);
        EXPECT_EQ(run.fake.AddressName(gemm.C), "buffer 3");
        EXPECT_EQ(gemm.Ctype, CUDA_R_16F);
        EXPECT_EQ(gemm.ldc, 8192);
        EXPECT_EQ(gemm.computeType, CUBLAS_COMPUTE_32F);
        EXPECT_EQ(gemm.algo, CUBLAS_GEMM_DEFAULT);
    }
}

struct FailureCase {
    const char* call;
    int occurrence;
    bool cublas;
    const char* label;
    std::vector<int> progress;
    std::size_t acquired;  // objects held when the call failed
};

class RunCudaFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(RunCudaFailure, ThrowsLabelAndMessageAndReleasesEverything) {
    const FailureCase& failure = GetParam();
    FakeRun run;
    const int status = failure.cublas ? CUBLAS_STATUS_EXECUTION_FAILED : cudaErrorMemoryAllocation;
    run.fake.FailCall(failure.call, status, failure.occurrence);

    const std::string message =
        failure.cublas ? "message of cuBLAS status 13" : "message of CUDA status 2";
    EXPECT_EQ(RunFailure(run), std::string(failure.label) + ": " + message);
    EXPECT_EQ(run.progress, failure.progress);
    EXPECT_EQ(run.fake.acquired.size(), failure.acquired);
    run.ExpectCleanRelease();
    EXPECT_EQ(run.fake.CallCount(failure.call), failure.occurrence);  // nothing retried
}

const std::vector<int> kNone = {};
const std::vector<int> kWarm = {0};
const std::vector<int> kAll = {0, 1, 2, 3, 4, 5};

INSTANTIATE_TEST_SUITE_P(
    EveryLabel, RunCudaFailure,
    ::testing::Values(
        FailureCase{"cudaSetDevice", 1, false, "cudaSetDevice", kNone, 0},
        FailureCase{"cudaMalloc", 1, false, "cudaMalloc", kNone, 0},
        FailureCase{"cudaMalloc", 2, false, "cudaMalloc", kNone, 1},
        FailureCase{"cudaMalloc", 3, false, "cudaMalloc", kNone, 2},
        FailureCase{"cudaStreamCreateWithFlags", 1, false, "cudaStreamCreate", kNone, 3},
        FailureCase{"cublasCreate_v2", 1, true, "cublasCreate", kNone, 4},
        FailureCase{"cudaEventCreate", 1, false, "cudaEventCreate", kNone, 5},
        FailureCase{"cudaEventCreate", 2, false, "cudaEventCreate", kNone, 6},
        FailureCase{"cudaMemcpyAsync", 1, false, "cudaMemcpy A", kNone, 7},
        FailureCase{"cudaMemcpyAsync", 2, false, "cudaMemcpy B", kNone, 7},
        FailureCase{"cublasSetStream_v2", 1, true, "cublasSetStream", kNone, 7},
        FailureCase{"cublasSetMathMode", 1, true, "cublasSetMathMode", kNone, 7},
        FailureCase{"cublasGemmEx", 1, true, "cublasGemmEx", kWarm, 7},
        FailureCase{"cublasGemmEx", 121, true, "cublasGemmEx", {0, 1, 2}, 7},
        FailureCase{"cudaStreamSynchronize", 1, false, "cudaStreamSynchronize warmup", kWarm, 7},
        FailureCase{"cudaEventRecord", 1, false, "cudaEventRecord start", kWarm, 7},
        FailureCase{"cudaEventRecord", 2, false, "cudaEventRecord finish", kWarm, 7},
        FailureCase{"cudaEventRecord", 5, false, "cudaEventRecord start", {0, 1, 2}, 7},
        FailureCase{"cudaEventSynchronize", 3, false, "cudaEventSynchronize", {0, 1, 2}, 7},
        FailureCase{"cudaEventElapsedTime", 1, false, "cudaEventElapsedTime", kWarm, 7},
        FailureCase{"cudaMemcpy", 1, false, "cudaMemcpy result", kAll, 7},
        FailureCase{"cudaMemcpy", 3, false, "cudaMemcpy result", kAll, 7}));

TEST(RunCuda, StopBeforeGenerationEndsTheRunBeforeAnythingIsAllocated) {
    FakeRun run;
    run.stop.request_stop();
    EXPECT_THROW(run.Start(MakeInputMatrices), Cancelled);
    EXPECT_THAT(run.fake.calls, ElementsAre("cudaSetDevice"));
    EXPECT_THAT(run.progress, ::testing::IsEmpty());
}

TEST(RunCuda, StopDuringWarmUpEndsTheRunBeforeTheNextMultiplication) {
    FakeRun run;
    run.fake.onCall = [&](const std::string& call) {
        if (call == "cublasGemmEx" && run.fake.CallCount(call) == 5) run.stop.request_stop();
    };
    EXPECT_THROW(run.Start(), Cancelled);
    EXPECT_EQ(run.fake.CallCount("cublasGemmEx"), 5);
    EXPECT_EQ(run.fake.CallCount("cudaEventRecord"), 0);
    EXPECT_THAT(run.progress, ElementsAre(0));
    run.ExpectCleanRelease();
}

TEST(RunCuda, StopDuringTheLastWaitIsNoticedAfterProgressFiveWithoutReadBack) {
    FakeRun run;
    run.fake.onCall = [&](const std::string& call) {
        if (call == "cudaEventSynchronize" && run.fake.CallCount(call) == 5) run.stop.request_stop();
    };
    EXPECT_THROW(run.Start(), Cancelled);
    EXPECT_EQ(run.fake.CallCount("cublasGemmEx"), 270);
    EXPECT_EQ(run.fake.CallCount("cudaMemcpy"), 0);
    EXPECT_EQ(run.progress, kAll);
    run.ExpectCleanRelease();
}

TEST(RunCuda, UnusableSeriesTimeEndsTheRun) {
    const float unusable[] = {0.0f, -1.0f, std::numeric_limits<float>::quiet_NaN(),
                              std::numeric_limits<float>::infinity()};
    for (const float time : unusable) {
        FakeRun run;
        run.fake.seriesMilliseconds[2] = time;
        EXPECT_EQ(RunFailure(run), "Invalid GPU timing") << time;
        EXPECT_THAT(run.progress, ElementsAre(0, 1, 2));
        run.ExpectCleanRelease();
    }
}

TEST(RunCuda, WrongProductFailsTheReferenceCheck) {
    FakeRun run;
    run.fake.corruptProduct = true;
    EXPECT_EQ(RunFailure(run), "FP32 reference check failed");
    EXPECT_EQ(run.progress, kAll);
    run.ExpectCleanRelease();
}

}  // namespace
}  // namespace gemm
