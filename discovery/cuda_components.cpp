#include "discovery/cuda_components.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <utility>

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

bool IsPosixAbsolute(const std::string& path) { return !path.empty() && path.front() == '/'; }

// The entries named python3.N (with a build suffix such as the free-threaded 3.13t), the
// highest N first; for one N the plain build first.
std::vector<std::string> NewestPythonFirst(const std::vector<std::string>& names) {
    constexpr std::string_view kPrefix = "python3.";
    std::vector<std::pair<int, std::string>> pythons;
    for (const auto& name : names) {
        if (!name.starts_with(kPrefix)) {
            continue;
        }
        const auto digits = name.begin() + static_cast<std::ptrdiff_t>(kPrefix.size());
        const auto suffix = std::find_if(digits, name.end(), [](char c) { return c < '0' || c > '9'; });
        if (suffix == digits || suffix - digits > 3 ||
            !std::all_of(suffix, name.end(), [](char c) { return c >= 'a' && c <= 'z'; })) {
            continue;
        }
        pythons.emplace_back(std::stoi(std::string(digits, suffix)), name);
    }
    std::sort(pythons.begin(), pythons.end(), [](const auto& a, const auto& b) {
        return a.first != b.first ? a.first > b.first : a.second < b.second;
    });
    std::vector<std::string> ordered;
    for (auto& python : pythons) {
        ordered.push_back(std::move(python.second));
    }
    return ordered;
}

// An absolute path without ".", ".." and repeated or trailing separators, by its text alone:
// "/a/./b/../c/" is "/a/c".
std::string NormalPosixPath(const std::string& path) {
    std::vector<std::string> parts;
    for (std::size_t start = 0; start <= path.size();) {
        const std::size_t end = std::min(path.find('/', start), path.size());
        const std::string part = path.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty()) {
                parts.pop_back();
            }
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string normal;
    for (const auto& part : parts) {
        normal += '/' + part;
    }
    return normal.empty() ? std::string("/") : normal;
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
        CudaComponentsProbe::CublasLoad load = probe.LoadCublas(file);
        if (!load.loaded) {
            state.cublasSearch.attempts.push_back({file, load.failure, std::move(load.loaderMessage)});
            continue;
        }
        state.cublasMissing = !probe.BindCublasImports();
        state.cublasSearch.attempts.push_back(
            {file, state.cublasMissing ? CublasAttemptOutcome::ImportsMissing : CublasAttemptOutcome::Used, {}});
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
    const auto add = [&directories](const std::string& directory) {
        if (std::find(directories.begin(), directories.end(), directory) == directories.end()) {
            directories.push_back(directory);
        }
    };
    const auto variable = [&inputs](const char* name) {
        std::string value = ReadVariable(inputs, std::string(name));
        return IsPosixAbsolute(value) ? value : std::string();
    };
    // nvidia/cu13/lib in every lib/python3.*/site-packages of a Python prefix, newest first.
    const std::string wheelDirectory = "site-packages/nvidia/cu" + major + "/lib";
    const auto addWheels = [&](const std::string& prefix) {
        if (prefix.empty()) {
            return;
        }
        const std::string lib = JoinPosix(prefix, "lib");
        for (const auto& python : NewestPythonFirst(ListDirectory(inputs, lib))) {
            add(JoinPosix(JoinPosix(lib, python), wheelDirectory));
        }
    };
    const auto addToolkit = [&add](const std::string& base) {
        if (IsPosixAbsolute(base)) {
            add(JoinPosix(base, "lib64"));
            add(JoinPosix(base, "lib"));
        }
    };

    if (const std::string programDir = PosixParent(inputs.programPath); !programDir.empty()) {
        add(programDir);
    }
    const std::string condaPrefix = variable("CONDA_PREFIX");
    addWheels(variable("VIRTUAL_ENV"));
    addWheels(condaPrefix);
    // The user's own packages (pip install --user), where Python puts them.
    if (!ReadVariable(inputs, std::string("PYTHONUSERBASE")).empty()) {
        addWheels(variable("PYTHONUSERBASE"));
    } else if (IsPosixAbsolute(inputs.homeDirectory)) {
        addWheels(JoinPosix(inputs.homeDirectory, ".local"));
    }
    if (!condaPrefix.empty()) {
        add(JoinPosix(condaPrefix, "lib"));
    }
    addToolkit(variable("CUDA_HOME"));
    addToolkit(variable("CUDA_PATH"));
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

std::optional<std::string> LinuxCublasOverride(const CublasSearchInputs<char>& inputs) {
    std::string named = ReadVariable(inputs, std::string("MIVARO_CUBLAS"));
    if (named.empty()) {
        return std::nullopt;
    }
    if (!IsPosixAbsolute(named) && !inputs.currentDirectory.empty()) {
        named = JoinPosix(inputs.currentDirectory, named);
    }
    if (IsPosixAbsolute(named)) {
        named = NormalPosixPath(named);
    }
    if (inputs.isDirectory && inputs.isDirectory(named)) {
        named = JoinPosix(named, "libcublas.so." + VersionPart<std::string>(kRequiredCudaVersion / 1000));
    }
    return named;
}
