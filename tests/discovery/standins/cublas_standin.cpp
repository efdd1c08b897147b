// A stand-in for the cuBLAS library: the seven functions the program binds, answering only the
// version query. Built a second time without cublasGemmEx to play a library that lacks one. On
// Linux it calls into the stand-in cuBLASLt it is linked with, as the real one does: the patch
// level it reports is that cuBLASLt's, which tells which copy the loader bound it to.

#if defined(_WIN32)
#define STANDIN_EXPORT extern "C" __declspec(dllexport)
#else
#define STANDIN_EXPORT extern "C" __attribute__((visibility("default")))
#include <cstddef>
extern "C" std::size_t cublasLtGetVersion();
#endif

namespace {
constexpr int kSuccess = 0;
constexpr int kNotInitialized = 1;
constexpr int kInvalidValue = 7;
}  // namespace

STANDIN_EXPORT int cublasCreate_v2(void**) { return kNotInitialized; }
STANDIN_EXPORT int cublasDestroy_v2(void*) { return kNotInitialized; }
STANDIN_EXPORT int cublasSetStream_v2(void*, void*) { return kNotInitialized; }
STANDIN_EXPORT int cublasSetMathMode(void*, int) { return kNotInitialized; }
#if !defined(STANDIN_WITHOUT_GEMM)
STANDIN_EXPORT int cublasGemmEx(void*, int, int, int, int, int, const void*, const void*, int, int,
                                const void*, int, int, const void*, void*, int, int, int, int) {
    return kNotInitialized;
}
#endif
STANDIN_EXPORT const char* cublasGetStatusString(int) { return "stand-in"; }

// Version 13.5.42.
STANDIN_EXPORT int cublasGetProperty(int type, int* value) {
#if defined(_WIN32)
    const int patch = 42;
#else
    const int patch = static_cast<int>(cublasLtGetVersion() % 100);
#endif
    const int version[3] = {13, 5, patch};
    if (type < 0 || type > 2 || value == nullptr) {
        return kInvalidValue;
    }
    *value = version[type];
    return kSuccess;
}
