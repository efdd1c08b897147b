#include "core/polar.h"

#include <algorithm>

namespace gemm {

float RescaledPolarLogarithm(float& v1, float& v2, float& s) {
    const int e = std::ilogb(std::max(std::fabs(v1), std::fabs(v2)));
    v1 = std::scalbn(v1, -e);
    v2 = std::scalbn(v2, -e);
    s = RadiusSquared(v1, v2);
    const float twoLn2 = 1.3862944f;
    return Logarithm(s) + static_cast<float>(e) * twoLn2;
}

}  // namespace gemm
