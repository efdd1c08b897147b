#pragma once
// Constants shared by the scalar and the vector logarithms (core/logarithm.cpp and the
// generation kernels). Declarations and constants only: the file is also compiled with
// AVX2 code generation, where an inline function could leak wide instructions elsewhere.
//
// x = 2^k * z with z in [0x3F330000, 0x3FB30000) as float bits, about [0.70, 1.40). The top
// eight bits of z's offset pick an interval with a reciprocal invC of its centre, rounded to
// a multiple of 2^-20, so that r = z * invC - 1 is exact in double precision. Then
//   ln x = k * ln 2 + (-ln invC) + log1p(r),   |r| <= 2^-8,
// with ln 2 and -ln invC as a head that is a multiple of 2^-44 (so that k * head + head is
// exact for |k| < 2^8) and a tail, and log1p(r) - r from its Taylor series up to r^8.

#include <cstdint>

namespace gemm::logarithm {

inline constexpr std::uint32_t kIntervalStart = 0x3F330000u;  // float bits of about 0.6992
inline constexpr int kIntervalShift = 15;                      // 2^8 intervals
inline constexpr std::uint32_t kIntervalMask = 0xFF;

struct alignas(32) Interval {
    double invC;
    double negLogInvCHead;
    double negLogInvCTail;
    double unused;  // pads an interval to four doubles for indexed loads
};

extern const Interval kIntervals[256];

inline constexpr double kLn2Head = 0x1.62e42fefa3a00p-1;
inline constexpr double kLn2Tail = -0x1.0ca86c3898d00p-49;

// log1p(r) - r = r^2 * (c2 + c3 r + ... + c8 r^6), Taylor coefficients (-1)^(n+1) / n.
inline constexpr double kC2 = -0.5;
inline constexpr double kC3 = 1.0 / 3.0;
inline constexpr double kC4 = -0.25;
inline constexpr double kC5 = 0.2;
inline constexpr double kC6 = -1.0 / 6.0;
inline constexpr double kC7 = 1.0 / 7.0;
inline constexpr double kC8 = -0.125;

// The result is a double-double head + tail; the head's bits below single precision equal this
// exactly when the head lies on the midpoint between two floats, where the tail decides.
inline constexpr std::uint64_t kBelowFloatMask = 0x1FFFFFFFu;
inline constexpr std::uint64_t kMidpointBits = 0x10000000u;

}  // namespace gemm::logarithm
