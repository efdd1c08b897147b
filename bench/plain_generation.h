#pragma once
// The baseline that matrix preparation is measured against: the loop a competent engineer
// writes from the description of A and B, with std::mt19937, the polar method with the C
// runtime's logarithm, gemm::FloatToHalf, straight into two plain vectors. It is also the
// generator as it was before the logarithm became our own, so comparing its output with
// the product's counts the elements that this change moved.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

#include "core/benchmark.h"
#include "core/input_matrices.h"

namespace bench {

struct PlainMatrices {
    std::vector<std::uint16_t> a;
    std::vector<std::uint16_t> b;
};

inline PlainMatrices PlainInputMatrices() {
    const auto elements = static_cast<std::size_t>(BenchmarkPlan::elementsPerMatrix);
    PlainMatrices inputs{std::vector<std::uint16_t>(elements), std::vector<std::uint16_t>(elements)};
    std::mt19937 engine(4060);
    const auto uniform = [&engine] { return static_cast<float>(engine() >> 8) * 0x1p-24f; };
    float kept = 0.0f;
    bool hasKept = false;
    for (std::vector<std::uint16_t>* matrix : {&inputs.a, &inputs.b}) {
        for (std::uint16_t& element : *matrix) {
            if (hasKept) {
                hasKept = false;
                element = gemm::FloatToHalf(kept);
                continue;
            }
            float v1;
            float v2;
            float s;
            do {
                const float u1 = uniform();
                const float u2 = uniform();
                v1 = (u1 + u1) - 1.0f;
                v2 = (u2 + u2) - 1.0f;
                s = v2 * v2 + v1 * v1;
            } while (!(s < 1.0f) || v1 == 0.0f || v2 == 0.0f);
            float logarithm;
            if (s > 1.0e-4f) {
                logarithm = std::log(s);
            } else {
                const int e = std::ilogb(std::max(std::fabs(v1), std::fabs(v2)));
                v1 = std::scalbn(v1, -e);
                v2 = std::scalbn(v2, -e);
                s = v2 * v2 + v1 * v1;
                logarithm = std::log(s) + static_cast<float>(e) * 1.3862944f;
            }
            const float factor = std::sqrt((logarithm * -2.0f) / s);
            kept = factor * v2;
            hasKept = true;
            element = gemm::FloatToHalf(factor * v1);
        }
    }
    return inputs;
}

inline std::size_t CountDifferingElements(const PlainMatrices& plain, const gemm::InputMatrices& product) {
    std::size_t differing = 0;
    for (std::size_t i = 0; i < plain.a.size(); ++i) {
        differing += (plain.a[i] != product.a[i] ? 1 : 0) + (plain.b[i] != product.b[i] ? 1 : 0);
    }
    return differing;
}

}  // namespace bench
