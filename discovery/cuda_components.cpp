#include "discovery/cuda_components.h"

#include <string>

namespace {

constexpr int kSuccess = 0;
constexpr int kErrorNoDevice = 100;

// Device-count failures that mean the installed driver cannot serve this runtime.
bool MeansDriverTooOld(int status) {
    switch (status) {
        case 35:   // insufficient driver
        case 36:   // call requires a newer driver
        case 302:  // shared object symbol not found
        case 303:  // shared object init failed
        case 803:  // system driver mismatch
            return true;
        default:
            return false;
    }
}

// cuBLAS library properties.
constexpr int kMajorVersion = 0;
constexpr int kMinorVersion = 1;
constexpr int kPatchLevel = 2;

template <class String>
String VersionPart(std::int32_t value) {
    const std::string digits = std::to_string(value);
    return String(digits.begin(), digits.end());
}

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

std::wstring JoinWindows(const std::wstring& base, const std::wstring& name) {
    if (!base.empty() && IsSeparator(base.back())) {
        return base + name;
    }
    return base + L'\\' + name;
}

std::string JoinPosix(const std::string& base, const std::string& name) {
    if (!base.empty() && base.back() == '/') {
        return base + name;
    }
    return base + '/' + name;
}

// The directory part of a Windows path; a drive root keeps its separator (C:\).
std::wstring WindowsParent(const std::wstring& path) {
    const auto last = path.find_last_of(L"\\/");
    if (last == std::wstring::npos) {
        return {};
    }
    if (last == 2 && path.size() > 2 && path[1] == L':') {
        return path.substr(0, 3);
    }
    return path.substr(0, last);
}

std::string PosixParent(const std::string& path) {
    const auto last = path.find_last_of('/');
    if (last == std::string::npos) {
        return {};
    }
    return last == 0 ? std::string("/") : path.substr(0, last);
}

template <class Char>
std::basic_string<Char> ReadVariable(const CublasSearchInputs<Char>& inputs,
                                     const std::basic_string<Char>& name) {
    return inputs.variable ? inputs.variable(name) : std::basic_string<Char>();
}

template <class Char>
std::vector<std::basic_string<Char>> ListDirectory(const CublasSearchInputs<Char>& inputs,
                                                   const std::basic_string<Char>& dir) {
    return inputs.list ? inputs.list(dir) : std::vector<std::basic_string<Char>>();
}

}  // namespace

bool IsCudaUsable(const CudaComponentsState& state) {
    return state.driverStatus == DriverStatus::Installed && !state.cublasMissing;
}

std::wstring FormatCudaVersion(std::int32_t version, wchar_t separator) {
    return VersionPart<std::wstring>(version / 1000) + separator +
           VersionPart<std::wstring>((version % 1000) / 10);
}

CudaComponentsState DetectCudaComponents(const PciDisplayScan& scan,
                                         const std::vector<std::filesystem::path>& cublasFiles,
                                         CudaComponentsProbe& probe) {
    CudaComponentsState state;
    state.requiredVersion = kRequiredCudaVersion;

    const std::optional<int> driverResult = probe.DriverGetVersion(&state.driverVersion);
    if (!driverResult || *driverResult != kSuccess) {
        state.driverVersion = 0;
    }
    if (scan.nvidiaDriverBound) {
        state.driverStatus =
            state.driverVersion != 0 ? DriverStatus::Installed : DriverStatus::NeedsUpdate;
    }

    // The first library that loads is the one used; a binding failure there is final.
    state.cublasMissing = true;
    for (const auto& file : cublasFiles) {
        if (!probe.LoadCublas(file)) {
            continue;
        }
        state.cublasMissing = !probe.BindCublasImports();
        if (!state.cublasMissing) {
            probe.CublasGetProperty(kMajorVersion, &state.cublasMajor);
            probe.CublasGetProperty(kMinorVersion, &state.cublasMinor);
            probe.CublasGetProperty(kPatchLevel, &state.cublasPatch);
        }
        break;
    }

    if (state.driverVersion == 0) {
        return state;
    }

    probe.RuntimeGetVersion(&state.runtimeVersion);
    const int status = probe.GetDeviceCount(&state.deviceCount);
    if (status == kSuccess || status == kErrorNoDevice) {
        if (state.deviceCount > 0) {
            state.driverStatus = DriverStatus::Installed;
        }
    } else {
        state.deviceCount = 0;
        if (scan.nvidiaDriverBound && MeansDriverTooOld(status)) {
            state.driverStatus = DriverStatus::NeedsUpdate;
        }
        const char* text = probe.GetErrorString(status);
        state.errorText = text != nullptr ? text : "";
    }
    return state;
}

bool IsWindowsAbsolutePath(std::wstring_view path) {
    if (path.size() >= 3 && path[1] == L':' && IsSeparator(path[2])) {
        const wchar_t drive = path[0];
        return (drive >= L'A' && drive <= L'Z') || (drive >= L'a' && drive <= L'z');
    }
    return path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1]);
}

void AddToolkitDirectory(std::vector<std::wstring>& directories, const std::wstring& base) {
    if (!IsWindowsAbsolutePath(base)) {
        return;
    }
    directories.push_back(JoinWindows(JoinWindows(base, L"bin"), L"x64"));
    directories.push_back(JoinWindows(base, L"bin"));
}

std::vector<std::wstring> FindCublasDirectories(const CublasSearchInputs<wchar_t>& inputs) {
    const std::wstring major = VersionPart<std::wstring>(kRequiredCudaVersion / 1000);
    const std::wstring minor = VersionPart<std::wstring>((kRequiredCudaVersion % 1000) / 10);

    std::vector<std::wstring> directories;
    if (const std::wstring programDir = WindowsParent(inputs.programPath); !programDir.empty()) {
        directories.push_back(programDir);
    }
    AddToolkitDirectory(directories, ReadVariable(inputs, L"CUDA_PATH_V" + major + L"_" + minor));
    AddToolkitDirectory(directories, ReadVariable(inputs, std::wstring(L"CUDA_PATH")));

    const std::wstring programFiles = ReadVariable(inputs, std::wstring(L"ProgramFiles"));
    if (IsWindowsAbsolutePath(programFiles)) {
        const std::wstring root =
            JoinWindows(JoinWindows(programFiles, L"NVIDIA GPU Computing Toolkit"), L"CUDA");
        const std::wstring versionName = L"v" + major + L"." + minor;
        const std::wstring versionPrefix = L"v" + major + L".";
        AddToolkitDirectory(directories, JoinWindows(root, versionName));
        for (const auto& name : ListDirectory(inputs, root)) {
            if (name != versionName && name.starts_with(versionPrefix)) {
                AddToolkitDirectory(directories, JoinWindows(root, name));
            }
        }
    }
    return directories;
}

std::vector<std::string> FindLinuxCublasDirectories(const CublasSearchInputs<char>& inputs,
                                                    const std::string& localRoot) {
    const std::string major = VersionPart<std::string>(kRequiredCudaVersion / 1000);
    const std::string minor = VersionPart<std::string>((kRequiredCudaVersion % 1000) / 10);

    std::vector<std::string> directories;
    const auto addToolkit = [&directories](const std::string& base) {
        if (base.empty() || base.front() != '/') {
            return;
        }
        directories.push_back(JoinPosix(base, "lib64"));
        directories.push_back(JoinPosix(base, "lib"));
    };

    if (const std::string programDir = PosixParent(inputs.programPath); !programDir.empty()) {
        directories.push_back(programDir);
    }
    addToolkit(ReadVariable(inputs, std::string("CUDA_PATH")));
    const std::string versionName = "cuda-" + major + "." + minor;
    const std::string versionPrefix = "cuda-" + major + ".";
    addToolkit(JoinPosix(localRoot, versionName));
    for (const auto& name : ListDirectory(inputs, localRoot)) {
        if (name != versionName && name.starts_with(versionPrefix)) {
            addToolkit(JoinPosix(localRoot, name));
        }
    }
    return directories;
}
