#include <random>

#include "core/matrix_generation.h"
#include "core/polar.h"

namespace gemm {

namespace {

class SequentialHalfStream final : public HalfStream {
public:
    void Append(HalfMatrix& out, std::size_t count) override {
        for (std::size_t i = 0; i < count; ++i) {
            out.push_back(FloatToHalf(Next()));
        }
    }

private:
    float Next() {
        if (hasKept_) {
            hasKept_ = false;
            return kept_;
        }
        float v1;
        float v2;
        float s;
        do {
            v1 = PolarCoordinate(UniformFromWord(static_cast<std::uint32_t>(engine_())));
            v2 = PolarCoordinate(UniformFromWord(static_cast<std::uint32_t>(engine_())));
            s = RadiusSquared(v1, v2);
        } while (!PolarAccepts(v1, v2, s));
        const float logarithm = PolarLogarithm(v1, v2, s);
        const float factor = PolarFactor(logarithm, s);
        kept_ = factor * v2;
        hasKept_ = true;
        return factor * v1;
    }

    std::mt19937 engine_{kGeneratorSeed};
    float kept_ = 0.0f;
    bool hasKept_ = false;
};

}  // namespace

std::unique_ptr<HalfStream> MakeSequentialStream() {
    return std::make_unique<SequentialHalfStream>();
}

}  // namespace gemm
