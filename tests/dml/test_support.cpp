#include "tests/dml/test_support.h"

#include <algorithm>

#include "core/benchmark.h"

namespace dmltest {

const gemm::InputMatrices& PatternInputs() {
    static const gemm::InputMatrices inputs = [] {
        constexpr std::size_t n = BenchmarkPlan::matrixSize;
        gemm::InputMatrices made;
        made.a.resize(n * n);
        made.b.resize(n * n);
        // Few distinct values: convert them once.
        std::uint16_t rowValues[11];
        for (int v = 0; v < 11; ++v)
            rowValues[v] = gemm::FloatToHalf(static_cast<float>(v - 5) * 0.125f);
        std::uint16_t columnValues[5];
        for (int v = 0; v < 5; ++v)
            columnValues[v] = gemm::FloatToHalf(static_cast<float>(v - 1) * 0.25f);
        for (std::size_t r = 0; r < n; ++r) {
            std::fill_n(made.a.begin() + static_cast<std::ptrdiff_t>(r * n), n,
                        rowValues[(r * 37) % 11]);
            for (std::size_t c = 0; c < n; ++c) made.b[r * n + c] = columnValues[(r + 3 * c) % 5];
        }
        return made;
    }();
    return inputs;
}

gemm::InputMatrices PatternGenerator(std::stop_token stopToken) {
    if (stopToken.stop_requested()) throw gemm::Cancelled{};
    return PatternInputs();
}

}  // namespace dmltest
