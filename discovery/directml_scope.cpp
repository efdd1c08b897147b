#include "discovery/directml_scope.h"

#ifdef _WIN32
#include "dml/win32_platform.h"
#endif

// DirectML exists on Windows only.
std::vector<GpuTarget> FindDirectMlTargets() {
#ifdef _WIN32
    return gemm::FindDirectMlAdapters();
#else
    return {};
#endif
}
