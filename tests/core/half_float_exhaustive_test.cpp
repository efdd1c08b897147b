// gemm::FloatToHalf and the generator's eight-at-once conversion against the processor's own
// F16C conversion (round to nearest even), for every one of the 2^32 float bit patterns.

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <immintrin.h>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#if defined(_MSC_VER)
#include <intrin.h>
#define MIVARO_TARGET_F16C
#else
#include <cpuid.h>
#define MIVARO_TARGET_F16C __attribute__((target("avx,f16c,xsave")))
#endif

#include "core/half_float.h"
#include "core/input_matrices.h"

namespace {

MIVARO_TARGET_F16C bool OsSavesAvxState() {
    return (_xgetbv(0) & 0x6u) == 0x6u;  // XMM and YMM state
}

bool CpuHasF16c() {
    unsigned int ecx = 0;
#if defined(_MSC_VER)
    int info[4] = {};
    __cpuid(info, 1);
    ecx = static_cast<unsigned int>(info[2]);
#else
    unsigned int eax = 0, ebx = 0, edx = 0;
    if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0) {
        return false;
    }
#endif
    const bool osxsave = (ecx >> 27) & 1u;
    const bool avx = (ecx >> 28) & 1u;
    const bool f16c = (ecx >> 29) & 1u;
    return osxsave && avx && f16c && OsSavesAvxState();
}

// Expected FP16 of eight consecutive patterns: the hardware's conversion, except that NaNs
// follow the product's own rule (quiet, upper nine payload bits kept).
MIVARO_TARGET_F16C void Oracle(const std::uint32_t* patterns, std::uint16_t* expected) {
    const __m256 values = _mm256_loadu_ps(reinterpret_cast<const float*>(patterns));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(expected), _mm256_cvtps_ph(values, _MM_FROUND_TO_NEAREST_INT));
    for (int i = 0; i < 8; ++i) {
        const std::uint32_t m = patterns[i] & 0x7FFFFFFFu;
        if (m > 0x7F800000u) [[unlikely]] {
            expected[i] = static_cast<std::uint16_t>(((patterns[i] >> 16) & 0x8000u) | 0x7E00u | ((m >> 13) & 0x1FFu));
        }
    }
}

bool InNormalHalfRange(std::uint32_t pattern) {
    const std::uint32_t m = pattern & 0x7FFFFFFFu;
    return m >= 0x38800000u && m < 0x47800000u;
}

// Checks chunks [firstChunk, endChunk) of the pattern sequence 0, stride, 2 * stride, ...
// Returns the number of mismatches and describes the first few.
std::uint64_t CheckChunks(std::uint64_t firstChunk, std::uint64_t endChunk, std::uint64_t stride,
                          std::vector<std::string>& failures) {
    constexpr std::size_t kChunk = 1 << 16;
    std::vector<std::uint32_t> patterns(kChunk);
    std::vector<std::uint16_t> expected(kChunk);
    std::vector<std::uint16_t> scalar(kChunk);
    std::vector<std::uint16_t> grouped(kChunk);
    std::uint64_t mismatches = 0;
    const auto report = [&](std::ostringstream& text) {
        if (++mismatches <= 5) {
            failures.push_back(text.str());
        }
    };
    for (std::uint64_t chunk = firstChunk; chunk < endChunk; ++chunk) {
        for (std::size_t i = 0; i < kChunk; ++i) {
            patterns[i] = static_cast<std::uint32_t>((chunk * kChunk + i) * stride);
        }
        for (std::size_t i = 0; i < kChunk; i += 8) {
            Oracle(patterns.data() + i, expected.data() + i);
        }
        for (std::size_t i = 0; i < kChunk; ++i) {
            scalar[i] = gemm::FloatToHalf(std::bit_cast<float>(patterns[i]));
        }
        // The grouped conversion must succeed exactly for groups lying wholly in the normal
        // range. The patterns of a group rise, so their magnitudes rise too unless the group
        // crosses into the negative half, where its ends are both out of range anyway.
        for (std::size_t i = 0; i < kChunk; i += 8) {
            const float* values = reinterpret_cast<const float*>(patterns.data() + i);
            __m128i group;
            const bool converted = gemm::NormalFloatsToHalves(_mm_loadu_ps(values), _mm_loadu_ps(values + 4), group);
            const bool allNormal = InNormalHalfRange(patterns[i]) && InNormalHalfRange(patterns[i + 7]);
            if (converted) {
                _mm_storeu_si128(reinterpret_cast<__m128i*>(grouped.data() + i), group);
            } else {
                std::copy_n(expected.begin() + static_cast<std::ptrdiff_t>(i), 8,
                            grouped.begin() + static_cast<std::ptrdiff_t>(i));
            }
            if (converted != allNormal) {
                std::ostringstream text;
                text << std::hex << "NormalFloatsToHalves from 0x" << patterns[i] << " converted " << converted;
                report(text);
            }
        }
        if (scalar != expected || grouped != expected) {
            for (std::size_t i = 0; i < kChunk; ++i) {
                if (scalar[i] != expected[i] || grouped[i] != expected[i]) {
                    std::ostringstream text;
                    text << std::hex << "0x" << patterns[i] << ": FloatToHalf 0x" << scalar[i] << ", grouped 0x"
                         << grouped[i] << ", expected 0x" << expected[i];
                    report(text);
                }
            }
        }
    }
    return mismatches;
}

TEST(FloatToHalfExhaustiveTest, AgreesWithHardwareForEveryFloat) {
    if (!CpuHasF16c()) {
        GTEST_SKIP() << "the processor has no F16C conversion to compare against";
    }
    // Optimised builds check every pattern (seconds); unoptimised ones, such as the sanitizer
    // build, every 61st so that they stay affordable.
#ifdef NDEBUG
    constexpr std::uint64_t kStride = 1;
#else
    constexpr std::uint64_t kStride = 61;
#endif
    constexpr std::uint64_t kChunks = ((std::uint64_t{1} << 16) + kStride - 1) / kStride;  // of 2^16 patterns
    // One share of the chunks per processor.
    const std::uint64_t threads = std::clamp<std::uint64_t>(std::thread::hardware_concurrency(), 1, 16);
    std::vector<std::uint64_t> mismatches(threads);
    std::vector<std::vector<std::string>> failures(threads);
    {
        std::vector<std::jthread> workers;
        for (std::uint64_t t = 0; t < threads; ++t) {
            workers.emplace_back([&, t] {
                mismatches[t] = CheckChunks(kChunks * t / threads, kChunks * (t + 1) / threads, kStride, failures[t]);
            });
        }
    }
    for (std::uint64_t t = 0; t < threads; ++t) {
        for (const std::string& failure : failures[t]) {
            ADD_FAILURE() << failure;
        }
        EXPECT_EQ(mismatches[t], 0u);
    }
}

}  // namespace
