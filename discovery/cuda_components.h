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

// How one place of the cuBLAS search ended.
enum class CublasAttemptOutcome : std::int32_t {
    Used = 0,             // loaded and bound: the library in use
    NotPresent = 1,       // no cuBLAS library file there
    CublasLtMissing = 2,  // the file is there but no cuBLASLt beside it (Linux), so it is passed over
    LoadFailed = 3,       // the loader refused the library or its cuBLASLt; loaderMessage says why
    ImportsMissing = 4,   // it loaded but lacks a function the benchmark calls; the search ends here
};

struct CublasAttempt {
    std::filesystem::path file;  // the library file tried; a bare name is the system's own search
    CublasAttemptOutcome outcome = CublasAttemptOutcome::NotPresent;
    std::string loaderMessage;   // UTF-8, the loader's own text, for LoadFailed; empty otherwise

    friend bool operator==(const CublasAttempt&, const CublasAttempt&) = default;
};

// Where cuBLAS was looked for: every place tried, in order, up to the one that ended the
// search (the last attempt is Used or ImportsMissing when the search ended there).
struct CublasSearchTrace {
    bool fromOverride = false;  // MIVARO_CUBLAS named the one file tried; nothing else was
    std::vector<CublasAttempt> attempts;

    friend bool operator==(const CublasSearchTrace&, const CublasSearchTrace&) = default;
};

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
    CublasSearchTrace cublasSearch;

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
    struct CublasLoad {
        bool loaded = false;
        // When not loaded: NotPresent, CublasLtMissing or LoadFailed with the loader's text.
        CublasAttemptOutcome failure = CublasAttemptOutcome::NotPresent;
        std::string loaderMessage;
    };
    // Loads one cuBLAS library file (a bare name through the system's search), and before it
    // the cuBLASLt beside it. A loaded library stays loaded.
    virtual CublasLoad LoadCublas(const std::filesystem::path& file) = 0;
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
    // Linux only.
    String homeDirectory;                                         // empty when unknown
    String currentDirectory;                                      // for a relative MIVARO_CUBLAS
    std::function<bool(const String& path)> isDirectory;
};

// Windows conventions. Absolute means a drive letter, a colon and a separator, or a path
// that starts with two separators (a network or device root).
bool IsWindowsAbsolutePath(std::wstring_view path);
void AddToolkitDirectory(std::vector<std::wstring>& directories, const std::wstring& base);
std::vector<std::wstring> FindCublasDirectories(const CublasSearchInputs<wchar_t>& inputs);

// Linux conventions, in this order: the program's directory; the Python environments' wheel
// directories (nvidia/cu13/lib in the site-packages of $VIRTUAL_ENV, then of $CONDA_PREFIX,
// then of the user's own Python base, $PYTHONUSERBASE or ~/.local; newest Python first);
// $CONDA_PREFIX/lib; lib64 and lib under $CUDA_HOME, then under $CUDA_PATH; lib64 and lib under
// /usr/local/cuda-13.5, then under every other /usr/local/cuda-13.* entry (listing order).
// Only absolute values count; a directory named twice is kept at its first place.
std::vector<std::string> FindLinuxCublasDirectories(const CublasSearchInputs<char>& inputs,
                                                    const std::string& localRoot = "/usr/local");

// The library file MIVARO_CUBLAS names (Linux): the value itself, or libcublas.so.13 in it when
// it is a directory, relative values taken from the current directory; nullopt when unset or
// empty. When set it is the only file tried.
std::optional<std::string> LinuxCublasOverride(const CublasSearchInputs<char>& inputs);

// The cuBLAS library file name of this platform ("cublas64_13.dll", "libcublas.so.13").
std::filesystem::path CublasLibraryName();

// The search of this machine: candidate directories in order.
std::vector<std::filesystem::path> FindCublasDirectories();

// The library file the user named for this machine's search (MIVARO_CUBLAS, Linux only);
// nullopt when the search runs as usual.
std::optional<std::filesystem::path> CublasOverride();

// The library files tried in order: each directory joined with the library name; on Linux
// followed by the bare name for the system's default library search.
std::vector<std::filesystem::path> CublasLibraryCandidates(
    const std::vector<std::filesystem::path>& directories);

// The detection of this machine, with the real libraries. The cuBLAS library that loaded
// stays loaded for the rest of the process.
CudaComponentsState DetectCudaComponents(const PciDisplayScan& scan);

// The path of the cuBLAS library the detection loaded; empty when none loaded.
std::filesystem::path LoadedCublasLibraryPath();

// The path of the cuBLASLt library in the process beside it; empty when cuBLAS is not loaded.
std::filesystem::path LoadedCublasLtLibraryPath();
