#pragma once
// Which of the three CUDA components the benchmark needs are present and usable: the
// driver's CUDA library, the CUDA Runtime and cuBLAS.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cuda/cuda_version.h"
#include "discovery/pci_inventory.h"

enum class DriverStatus : std::int32_t { NotInstalled = 0, Installed = 1, NeedsUpdate = 2 };

struct CudaComponentsState {
    std::int32_t requiredVersion = 0;
    std::int32_t runtimeVersion = 0;  // 0 = unavailable
    std::int32_t driverVersion = 0;   // 0 = unavailable
    std::int32_t cublasMajor = 0;     // 0 = cuBLAS not loaded
    std::int32_t cublasMinor = 0;
    std::int32_t cublasPatch = 0;
    std::int32_t deviceCount = 0;
    DriverStatus driverStatus = DriverStatus::NotInstalled;
    bool cublasMissing = false;
    std::string errorText;  // UTF-8; the device-count query's error, empty when none

    friend bool operator==(const CudaComponentsState&, const CudaComponentsState&) = default;
};

// CUDA counts as usable when the driver is installed and cuBLAS is bound.
bool IsCudaUsable(const CudaComponentsState& state);

// "13.5" for (13050, '.'), "13-5" for (13050, '-').
std::wstring FormatCudaVersion(std::int32_t version, wchar_t separator);

// The NVIDIA libraries as the detection uses them. The product's implementation loads the
// real ones; tests substitute them.
class CudaComponentsProbe {
public:
    virtual ~CudaComponentsProbe() = default;
    // Loads the driver's CUDA library from the system directory only and calls its
    // cuDriverGetVersion. nullopt when the library or the entry point is missing,
    // otherwise the call's result code.
    virtual std::optional<int> DriverGetVersion(int* version) = 0;
    // Loads one cuBLAS library file; true when it loaded. A loaded library stays loaded.
    virtual bool LoadCublas(const std::filesystem::path& file) = 0;
    // Binds the cuBLAS functions the benchmark uses to the library just loaded.
    virtual bool BindCublasImports() = 0;
    virtual int CublasGetProperty(int type, int* value) = 0;
    virtual int RuntimeGetVersion(int* version) = 0;
    virtual int GetDeviceCount(int* count) = 0;
    // nullptr when the runtime has no text for the status.
    virtual const char* GetErrorString(int status) = 0;
};

// The detection over a probe, trying the cuBLAS library files in the given order.
CudaComponentsState DetectCudaComponents(const PciDisplayScan& scan,
                                         const std::vector<std::filesystem::path>& cublasFiles,
                                         CudaComponentsProbe& probe);

// What the search for cuBLAS reads from the system, so that the rules run anywhere.
template <class Char>
struct CublasSearchInputs {
    using String = std::basic_string<Char>;
    String programPath;                                           // empty when unknown
    std::function<String(const String& name)> variable;           // empty when unset
    std::function<std::vector<String>(const String& dir)> list;   // entry names, listing order
};

// Windows conventions. Absolute means a drive letter, a colon and a separator, or a path
// that starts with two separators (a network or device root).
bool IsWindowsAbsolutePath(std::wstring_view path);
void AddToolkitDirectory(std::vector<std::wstring>& directories, const std::wstring& base);
std::vector<std::wstring> FindCublasDirectories(const CublasSearchInputs<wchar_t>& inputs);

// Linux conventions: the program's directory, lib64 and lib under CUDA_PATH, then under
// /usr/local/cuda-13.5 and every other /usr/local/cuda-13.* entry (listing order).
std::vector<std::string> FindLinuxCublasDirectories(const CublasSearchInputs<char>& inputs,
                                                    const std::string& localRoot = "/usr/local");

// The cuBLAS library file name of this platform ("cublas64_13.dll", "libcublas.so.13").
std::filesystem::path CublasLibraryName();

// The search of this machine: candidate directories in order.
std::vector<std::filesystem::path> FindCublasDirectories();

// The library files tried in order: each directory joined with the library name; on Linux
// followed by the bare name for the system's default library search.
std::vector<std::filesystem::path> CublasLibraryCandidates(
    const std::vector<std::filesystem::path>& directories);

// The detection of this machine, with the real libraries. The cuBLAS library that loaded
// stays loaded for the rest of the process.
CudaComponentsState DetectCudaComponents(const PciDisplayScan& scan);

// The path of the cuBLAS library the detection loaded; empty when none loaded.
std::filesystem::path LoadedCublasLibraryPath();
