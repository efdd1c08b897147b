// The CUDA components detection over this machine's real libraries: the driver and the
// runtime layer of the program's CUDA table, and cuBLAS loaded from the first candidate file
// that loads and bound for the rest of the process.

#include <filesystem>
#include <utility>

#include "cuda/dynamic_library.h"
#include "cuda/nvidia_api.h"
#include "discovery/cuda_components.h"

#if !defined(_WIN32)
#include <dlfcn.h>
#include <link.h>
#endif

namespace {

std::filesystem::path& BoundCublasPath() {
    static std::filesystem::path path;
    return path;
}

#if defined(_WIN32)
std::filesystem::path WhereLoaded(const std::filesystem::path& file) { return file; }
#else
// A bare name was found by the system's search; ask the loader where.
std::filesystem::path WhereLoaded(const std::filesystem::path& file) {
    if (file.has_parent_path()) {
        return file;
    }
    void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (handle == nullptr) {
        return file;
    }
    std::filesystem::path where = file;
    link_map* map = nullptr;
    if (dlinfo(handle, RTLD_DI_LINKMAP, &map) == 0 && map != nullptr && map->l_name != nullptr &&
        map->l_name[0] != '\0') {
        where = map->l_name;
    }
    dlclose(handle);
    return where;
}
#endif

class SystemCudaProbe final : public CudaComponentsProbe {
public:
    std::optional<int> DriverGetVersion(int* version) override {
        return runtime_.cuDriverGetVersion(version);
    }

    bool LoadCublas(const std::filesystem::path& file) override {
        library_ = file.has_parent_path() ? gemm::DynamicLibrary::LoadFile(file)
                                          : gemm::DynamicLibrary::LoadSystem(file);
        file_ = file;
        return library_.IsLoaded();
    }

    bool BindCublasImports() override {
        const std::filesystem::path where = WhereLoaded(file_);
        if (!gemm::BindCublasImports(std::move(library_))) {
            return false;
        }
        BoundCublasPath() = where;
        return true;
    }

    int CublasGetProperty(int type, int* value) override {
        return gemm::SystemCublas().cublasGetProperty(static_cast<gemm::libraryPropertyType>(type), value);
    }

    int RuntimeGetVersion(int* version) override { return runtime_.cudaRuntimeGetVersion(version); }
    int GetDeviceCount(int* count) override { return runtime_.cudaGetDeviceCount(count); }
    const char* GetErrorString(int status) override {
        return runtime_.cudaGetErrorString(static_cast<gemm::cudaError_t>(status));
    }

private:
    gemm::CudaRuntimeApi& runtime_ = gemm::SystemCudaRuntime();
    gemm::DynamicLibrary library_;
    std::filesystem::path file_;
};

}  // namespace

std::filesystem::path CublasLibraryName() { return gemm::kCublasLibraryName; }

std::vector<std::filesystem::path> CublasLibraryCandidates(
    const std::vector<std::filesystem::path>& directories) {
    std::vector<std::filesystem::path> files;
    for (const auto& directory : directories) {
        files.push_back(directory / CublasLibraryName());
    }
#if !defined(_WIN32)
    files.push_back(CublasLibraryName());  // the system's own library search
#endif
    return files;
}

CudaComponentsState DetectCudaComponents(const PciDisplayScan& scan) {
    SystemCudaProbe probe;
    return DetectCudaComponents(scan, CublasLibraryCandidates(FindCublasDirectories()), probe);
}

std::filesystem::path LoadedCublasLibraryPath() { return BoundCublasPath(); }
