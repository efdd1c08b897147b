// A stand-in for cuBLASLt (Linux): its version, 13.5.42, or 13.5.7 for the decoy copy that
// must never be the one a stand-in cuBLAS is bound to.

#include <cstddef>

extern "C" __attribute__((visibility("default"))) std::size_t cublasLtGetVersion() {
#if defined(STANDIN_DECOY)
    return 130507;
#else
    return 130542;
#endif
}
