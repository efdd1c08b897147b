// A stand-in for the cuBLAS library: the seven functions the program binds, answering only the
// version query. Built a second time without cublasGemmEx to play a library that lacks one.

#define STANDIN_EXPORT extern "C" __declspec(dllexport)

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
    static const int kVersion[3] = {13, 5, 42};
    if (type < 0 || type > 2 || value == nullptr) {
        return kInvalidValue;
    }
    *value = kVersion[type];
    return kSuccess;
}
