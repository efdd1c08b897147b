// The CUDA components detection over this machine's real libraries: the driver and the
// runtime layer of the program's CUDA table, and cuBLAS, with the cuBLASLt beside it, loaded
// from the first candidate file that loads and bound for the rest of the process.

#include <filesystem>
#include <optional>
#include <system_error>
#include <utility>
#include <vector>

#include "cuda/dynamic_library.h"
#include "cuda/nvidia_api.h"
#include "discovery/cuda_components.h"

namespace {

std::filesystem::path& BoundCublasPath() {
    static std::filesystem::path path;
    return path;
}

class SystemCudaProbe final : public CudaComponentsProbe {
public:
    std::optional<int> DriverGetVersion(int* version) override {
        return runtime_.cuDriverGetVersion(version);
    }

    CublasLoad LoadCublas(const std::filesystem::path& file) override {
        file_ = file;
        if (!file.has_parent_path()) {  // the system's own search
            library_ = gemm::DynamicLibrary::LoadSystem(file);
            return Loaded(library_);
        }
        std::error_code error;
        if (!std::filesystem::exists(file, error)) {
            return {false, CublasAttemptOutcome::NotPresent, {}};
        }
#if !defined(_WIN32)
        // cuBLASLt first, by its full path beside cuBLAS: cuBLAS then takes this one, already
        // loaded under its name, and never another along LD_LIBRARY_PATH or in the loader's
        // cache. (Windows looks for it beside cuBLAS by itself, see DynamicLibrary::LoadFile.)
        const std::filesystem::path lt = file.parent_path() / gemm::kCublasLtLibraryName;
        if (!std::filesystem::exists(lt, error)) {
            return {false, CublasAttemptOutcome::CublasLtMissing, {}};
        }
        cublasLt_ = gemm::DynamicLibrary::LoadFile(lt);
        if (const CublasLoad load = Loaded(cublasLt_); !load.loaded) {
            return load;
        }
#endif
        library_ = gemm::DynamicLibrary::LoadFile(file);
        return Loaded(library_);
    }

    bool BindCublasImports() override {
        const std::filesystem::path loaded = gemm::DynamicLibrary::LoadedFile(file_);
        if (!gemm::BindCublasImports(std::move(library_))) {
            return false;
        }
        BoundCublasPath() = loaded.empty() ? file_ : loaded;
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
    static CublasLoad Loaded(const gemm::DynamicLibrary& library) {
        if (library.IsLoaded()) {
            return {true, CublasAttemptOutcome::Used, {}};
        }
        return {false, CublasAttemptOutcome::LoadFailed, gemm::DynamicLibrary::LastLoadError()};
    }

    gemm::CudaRuntimeApi& runtime_ = gemm::SystemCudaRuntime();
    // Given back when the probe ends: a bound cuBLAS holds its cuBLASLt loaded itself.
    gemm::DynamicLibrary cublasLt_;
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
    const std::optional<std::filesystem::path> named = CublasOverride();
    CudaComponentsState state = DetectCudaComponents(
        scan, named ? std::vector{*named} : CublasLibraryCandidates(FindCublasDirectories()), probe);
    state.cublasSearch.fromOverride = named.has_value();
    return state;
}

std::filesystem::path LoadedCublasLibraryPath() { return BoundCublasPath(); }

std::filesystem::path LoadedCublasLtLibraryPath() {
    return BoundCublasPath().empty() ? std::filesystem::path()
                                     : gemm::DynamicLibrary::LoadedFile(gemm::kCublasLtLibraryName);
}
