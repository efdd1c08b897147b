#include "cli/libraries.h"

#include <dlfcn.h>
#include <link.h>

#include "cuda/nvidia_api.h"

namespace cli {

std::string CudaDriverLibraryPath() {
    // RTLD_NOLOAD: only asks about the copy already loaded, takes a reference given back below.
    void* handle = dlopen(gemm::kCudaDriverLibraryName, RTLD_LAZY | RTLD_NOLOAD);
    if (handle == nullptr) return {};
    std::string path;
    link_map* map = nullptr;
    if (dlinfo(handle, RTLD_DI_LINKMAP, &map) == 0 && map != nullptr && map->l_name != nullptr) path = map->l_name;
    dlclose(handle);
    return path;
}

DirectMlLibrary SystemDirectMlLibrary() { return {}; }

}  // namespace cli
