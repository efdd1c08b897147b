#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <string>

#include "core/benchmark.h"
#include "core/generation_kernels.h"
#include "core/input_matrices.h"
#include "core/matrix_generation.h"

namespace {

// The sequential generator's matrices, made once: the reference for every path.
const gemm::InputMatrices& SequentialMatrices() {
    static const gemm::InputMatrices inputs =
        gemm::GenerateInputMatrices(*gemm::MakeSequentialStream(), [] { return false; });
    return inputs;
}

// The index of the first element in which the two differ, or their size when none does.
std::size_t FirstDifference(const gemm::HalfMatrix& x, const gemm::HalfMatrix& y) {
    return static_cast<std::size_t>(std::mismatch(x.begin(), x.end(), y.begin(), y.end()).first - x.begin());
}

const char* Requirements(gemm::SimdPath path) {
    switch (path) {
    case gemm::SimdPath::Sse2:
        return "SSE2";
    case gemm::SimdPath::Avx2:
        return "AVX2 and F16C, with the YMM registers saved by the operating system";
    case gemm::SimdPath::Avx2Fma:
        return "AVX2, F16C and FMA, with the YMM registers saved by the operating system";
    }
    return "?";
}

class EveryPathTest : public ::testing::TestWithParam<gemm::SimdPath> {};

TEST_P(EveryPathTest, GivesTheSequentialGeneratorsMatricesWhole) {
    const gemm::SimdPath path = GetParam();
    if (!gemm::ProcessorRuns(path)) {
        GTEST_SKIP() << "this processor cannot run the " << gemm::SimdPathName(path) << " path, which needs "
                     << Requirements(path);
    }
    int asked = 0;
    const gemm::InputMatrices batched = gemm::GenerateInputMatrices(*gemm::MakeBatchedStream(path), [&] {
        ++asked;
        return false;
    });
    EXPECT_EQ(asked, 2 * 64);  // once per 2^20 elements of each matrix
    const auto elements = static_cast<std::size_t>(BenchmarkPlan::elementsPerMatrix);
    EXPECT_EQ(FirstDifference(batched.a, SequentialMatrices().a), elements) << "first element of A that differs";
    EXPECT_EQ(FirstDifference(batched.b, SequentialMatrices().b), elements) << "first element of B that differs";
}

INSTANTIATE_TEST_SUITE_P(AllPaths, EveryPathTest, ::testing::ValuesIn(gemm::kSimdPaths),
                         [](const ::testing::TestParamInfo<gemm::SimdPath>& path) {
                             std::string name = gemm::SimdPathName(path.param);
                             name.erase(std::remove(name.begin(), name.end(), '+'), name.end());
                             return name;
                         });

}  // namespace
