// A stand-in for the NVIDIA driver's CUDA library that only reports its version (13.2), as a
// driver too incomplete for the program's runtime layer would.

extern "C" __declspec(dllexport) int cuDriverGetVersion(int* version) {
    if (version == nullptr) {
        return 1;  // invalid value
    }
    *version = 13020;
    return 0;
}
