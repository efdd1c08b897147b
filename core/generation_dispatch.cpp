#include "core/generation_kernels.h"

#if defined(_MSC_VER)
#include <intrin.h>
#else
#include <cpuid.h>
#endif

namespace gemm {

namespace {

struct CpuFeatures {
    bool avx2 = false;  // with AVX, F16C, and the operating system saving YMM registers
    bool fma = false;
};

CpuFeatures DetectCpuFeatures() {
    unsigned int leaf1Ecx = 0;
    unsigned int leaf7Ebx = 0;
    unsigned long long enabledState = 0;
#if defined(_MSC_VER)
    int info[4] = {};
    __cpuid(info, 0);
    const int maxLeaf = info[0];
    __cpuid(info, 1);
    leaf1Ecx = static_cast<unsigned int>(info[2]);
    if (maxLeaf >= 7) {
        __cpuidex(info, 7, 0);
        leaf7Ebx = static_cast<unsigned int>(info[1]);
    }
    const bool osxsave = ((leaf1Ecx >> 27) & 1u) != 0;
    if (osxsave) {
        enabledState = _xgetbv(0);
    }
#else
    unsigned int eax = 0;
    unsigned int ebx = 0;
    unsigned int edx = 0;
    if (__get_cpuid(1, &eax, &ebx, &leaf1Ecx, &edx) == 0) {
        return {};
    }
    unsigned int ecx7 = 0;
    if (__get_cpuid_count(7, 0, &eax, &leaf7Ebx, &ecx7, &edx) == 0) {
        leaf7Ebx = 0;
    }
    const bool osxsave = ((leaf1Ecx >> 27) & 1u) != 0;
    if (osxsave) {
        unsigned int low = 0;
        unsigned int high = 0;
        // xgetbv without compiling the file for XSAVE.
        __asm__("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
        enabledState = (static_cast<unsigned long long>(high) << 32) | low;
    }
#endif
    const bool osSavesYmm = (enabledState & 0x6u) == 0x6u;
    const bool avx = ((leaf1Ecx >> 28) & 1u) != 0;
    const bool f16c = ((leaf1Ecx >> 29) & 1u) != 0;
    const bool avx2 = ((leaf7Ebx >> 5) & 1u) != 0;
    CpuFeatures features;
    features.avx2 = osSavesYmm && avx && f16c && avx2;
    features.fma = features.avx2 && ((leaf1Ecx >> 12) & 1u) != 0;
    return features;
}

const CpuFeatures& Features() {
    static const CpuFeatures features = DetectCpuFeatures();
    return features;
}

}  // namespace

bool ProcessorRuns(SimdPath path) {
    switch (path) {
    case SimdPath::Sse2:
        return true;
    case SimdPath::Avx2:
        return Features().avx2;
    case SimdPath::Avx2Fma:
        return Features().fma;
    }
    return false;
}

SimdPath FastestSimdPath() {
    SimdPath fastest = SimdPath::Sse2;
    for (const SimdPath path : kSimdPaths) {
        if (ProcessorRuns(path)) {
            fastest = path;
        }
    }
    return fastest;
}

const char* SimdPathName(SimdPath path) {
    switch (path) {
    case SimdPath::Sse2:
        return "SSE2";
    case SimdPath::Avx2:
        return "AVX2";
    case SimdPath::Avx2Fma:
        return "AVX2+FMA";
    }
    return "?";
}

const GenerationKernels& KernelsFor(SimdPath path) {
    switch (path) {
    case SimdPath::Avx2:
        return kAvx2Kernels;
    case SimdPath::Avx2Fma:
        return kAvx2FmaKernels;
    case SimdPath::Sse2:
        break;
    }
    return kSse2Kernels;
}

}  // namespace gemm
