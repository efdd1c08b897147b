#include "discovery/cuda_components.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>
#include <set>

#include "tests/discovery/fake_cuda_probe.h"

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

const std::filesystem::path kFirst = "/opt/a/libcublas.so.13";
const std::filesystem::path kSecond = "/opt/b/libcublas.so.13";

PciDisplayScan Scan(bool bound) { return {true, bound}; }

// A probe with a working driver of the given version and a complete cuBLAS in kFirst.
FakeCudaProbe WorkingProbe(int driverVersion) {
    FakeCudaProbe probe;
    if (driverVersion != 0) {
        probe.driverResult = 0;
        probe.driverWrites = driverVersion;
    }
    probe.loadableCublas = {kFirst, kSecond};
    probe.bindableCublas = {kFirst, kSecond};
    probe.runtimeWrites = 13050;
    return probe;
}

struct StatusRow {
    bool bound;
    int driverVersion;
    int countResult;
    int countWrites;
    DriverStatus expected;
};

TEST(DetectCudaComponents, DriverStatusTable) {
    const StatusRow rows[] = {
        {true, 0, 0, 0, DriverStatus::NeedsUpdate},       // no driver library, service bound
        {false, 0, 0, 0, DriverStatus::NotInstalled},     // no driver library, no service
        {false, 13000, 0, 1, DriverStatus::Installed},    // devices found, service not bound
        {true, 13000, 0, 2, DriverStatus::Installed},
        {true, 13000, 100, 0, DriverStatus::Installed},   // no device, service bound
        {false, 13000, 0, 0, DriverStatus::NotInstalled}, // success, no device, no service
        {false, 13000, 100, 0, DriverStatus::NotInstalled},
        {true, 13000, 35, 0, DriverStatus::NeedsUpdate},
        {true, 13000, 36, 0, DriverStatus::NeedsUpdate},
        {true, 13000, 302, 0, DriverStatus::NeedsUpdate},
        {true, 13000, 303, 0, DriverStatus::NeedsUpdate},
        {true, 13000, 803, 0, DriverStatus::NeedsUpdate},
        {true, 13000, 999, 0, DriverStatus::Installed},   // any other error, service bound
        {true, 13000, 304, 0, DriverStatus::Installed},
        {false, 13000, 35, 0, DriverStatus::NotInstalled},
        {false, 13000, 999, 0, DriverStatus::NotInstalled},
    };
    for (const StatusRow& row : rows) {
        SCOPED_TRACE(testing::Message() << "bound " << row.bound << " driver " << row.driverVersion
                                        << " count rc " << row.countResult);
        FakeCudaProbe probe = WorkingProbe(row.driverVersion);
        probe.deviceCountResult = row.countResult;
        probe.deviceCountWrites = row.countWrites;
        const CudaComponentsState state = DetectCudaComponents(Scan(row.bound), {kFirst}, probe);
        EXPECT_EQ(state.driverStatus, row.expected);
        EXPECT_EQ(state.requiredVersion, 13050);
    }
}

TEST(DetectCudaComponents, WithoutDriverLibraryTheRuntimeIsNotTouchedButCublasIsSearched) {
    FakeCudaProbe probe = WorkingProbe(0);
    const CudaComponentsState state = DetectCudaComponents(Scan(true), {kFirst}, probe);
    EXPECT_EQ(state.driverVersion, 0);
    EXPECT_EQ(state.driverStatus, DriverStatus::NeedsUpdate);
    EXPECT_EQ(state.runtimeVersion, 0);
    EXPECT_EQ(state.deviceCount, 0);
    EXPECT_THAT(state.errorText, IsEmpty());
    EXPECT_FALSE(state.cublasMissing);
    EXPECT_EQ(state.cublasMajor, 13);
    EXPECT_THAT(probe.calls, ElementsAre("DriverGetVersion", "LoadCublas " + kFirst.generic_string(),
                                         "BindCublasImports", "CublasGetProperty 0", "CublasGetProperty 1",
                                         "CublasGetProperty 2"));
}

TEST(DetectCudaComponents, FailingDriverCallCountsAsNoDriverEvenIfItWroteAVersion) {
    FakeCudaProbe probe = WorkingProbe(13000);
    probe.driverResult = 3;  // not initialised, version written anyway
    const CudaComponentsState state = DetectCudaComponents(Scan(true), {kFirst}, probe);
    EXPECT_EQ(state.driverVersion, 0);
    EXPECT_EQ(state.driverStatus, DriverStatus::NeedsUpdate);
    EXPECT_EQ(state.runtimeVersion, 0);
}

TEST(DetectCudaComponents, FullyWorkingMachine) {
    FakeCudaProbe probe = WorkingProbe(13020);
    probe.deviceCountWrites = 2;
    probe.cublasVersion[0] = 13, probe.cublasVersion[1] = 1, probe.cublasVersion[2] = 4;
    const CudaComponentsState state = DetectCudaComponents(Scan(true), {kFirst}, probe);
    CudaComponentsState expected;
    expected.requiredVersion = 13050;
    expected.runtimeVersion = 13050;
    expected.driverVersion = 13020;
    expected.cublasMajor = 13, expected.cublasMinor = 1, expected.cublasPatch = 4;
    expected.deviceCount = 2;
    expected.driverStatus = DriverStatus::Installed;
    expected.cublasSearch.attempts = {{kFirst, CublasAttemptOutcome::Used, {}}};
    EXPECT_EQ(state, expected);
    EXPECT_TRUE(IsCudaUsable(state));
}

TEST(DetectCudaComponents, FailingDeviceQueryForcesZeroAndKeepsTheRuntimeText) {
    FakeCudaProbe probe = WorkingProbe(13000);
    probe.deviceCountResult = 999;
    probe.deviceCountWrites = 4;
    probe.errorStrings[999] = "unknown error";
    const CudaComponentsState state = DetectCudaComponents(Scan(true), {kFirst}, probe);
    EXPECT_EQ(state.deviceCount, 0);
    EXPECT_EQ(state.driverStatus, DriverStatus::Installed);
    EXPECT_EQ(state.errorText, "unknown error");
}

TEST(DetectCudaComponents, RuntimeThatCannotInitialiseLeavesNoTextAndAsksForAnUpdate) {
    FakeCudaProbe probe = WorkingProbe(12080);
    probe.runtimeWrites.reset();
    probe.deviceCountResult = 35;
    const CudaComponentsState state = DetectCudaComponents(Scan(true), {kFirst}, probe);
    EXPECT_EQ(state.runtimeVersion, 0);
    EXPECT_EQ(state.driverVersion, 12080);
    EXPECT_EQ(state.driverStatus, DriverStatus::NeedsUpdate);
    EXPECT_THAT(state.errorText, IsEmpty());
}

TEST(DetectCudaComponents, FirstLibraryThatLoadsIsUsedAndTheTraceSaysWhyEarlierOnesWereNot) {
    const std::filesystem::path third = "libcublas.so.13";
    FakeCudaProbe probe = WorkingProbe(13000);
    probe.loadableCublas = {third};
    probe.bindableCublas = {third};
    probe.refusedCublas[kSecond] = {false, CublasAttemptOutcome::LoadFailed, "libcublasLt.so.13: wrong ELF class"};
    const CudaComponentsState state = DetectCudaComponents(Scan(true), {kFirst, kSecond, third}, probe);
    EXPECT_FALSE(state.cublasMissing);
    EXPECT_EQ(probe.loaded, third);
    EXPECT_THAT(state.cublasSearch.attempts,
                ElementsAre(CublasAttempt{kFirst, CublasAttemptOutcome::NotPresent, {}},
                            CublasAttempt{kSecond, CublasAttemptOutcome::LoadFailed, "libcublasLt.so.13: wrong ELF class"},
                            CublasAttempt{third, CublasAttemptOutcome::Used, {}}));
}

TEST(DetectCudaComponents, BindingFailureAtTheFirstLoadedLibraryIsFinal) {
    FakeCudaProbe probe = WorkingProbe(13000);
    probe.bindableCublas = {kSecond};  // kFirst lacks a function
    const CudaComponentsState state = DetectCudaComponents(Scan(true), {kFirst, kSecond}, probe);
    EXPECT_TRUE(state.cublasMissing);
    EXPECT_EQ(state.cublasMajor, 0);
    EXPECT_EQ(state.cublasMinor, 0);
    EXPECT_EQ(state.cublasPatch, 0);
    EXPECT_EQ(std::count(probe.calls.begin(), probe.calls.end(), "LoadCublas " + kSecond.generic_string()), 0);
    EXPECT_FALSE(IsCudaUsable(state));
    EXPECT_THAT(state.cublasSearch.attempts, ElementsAre(CublasAttempt{kFirst, CublasAttemptOutcome::ImportsMissing, {}}));
}

TEST(DetectCudaComponents, NoLoadableLibraryOrNoCandidateMeansMissing) {
    FakeCudaProbe probe = WorkingProbe(13000);
    probe.loadableCublas.clear();
    EXPECT_TRUE(DetectCudaComponents(Scan(true), {kFirst, kSecond}, probe).cublasMissing);
    FakeCudaProbe empty = WorkingProbe(13000);
    const CudaComponentsState state = DetectCudaComponents(Scan(true), {}, empty);
    EXPECT_TRUE(state.cublasMissing);
    EXPECT_THAT(state.cublasSearch.attempts, IsEmpty());
}

TEST(FormatCudaVersion, UsesIntegerDivision) {
    EXPECT_EQ(FormatCudaVersion(13050, L'.'), L"13.5");
    EXPECT_EQ(FormatCudaVersion(13050, L'-'), L"13-5");
    EXPECT_EQ(FormatCudaVersion(12080, L'.'), L"12.8");
    EXPECT_EQ(FormatCudaVersion(13000, L'.'), L"13.0");
    EXPECT_EQ(FormatCudaVersion(12095, L'.'), L"12.9");
    EXPECT_EQ(FormatCudaVersion(0, L'.'), L"0.0");
}

TEST(AddToolkitDirectory, OnlyAbsoluteWindowsPathsAddBinX64ThenBin) {
    const std::map<std::wstring, std::vector<std::wstring>> cases = {
        {L"C:\\CUDA", {L"C:\\CUDA\\bin\\x64", L"C:\\CUDA\\bin"}},
        {L"d:/cuda/", {L"d:/cuda/bin\\x64", L"d:/cuda/bin"}},
        {L"\\\\server\\share\\cuda", {L"\\\\server\\share\\cuda\\bin\\x64", L"\\\\server\\share\\cuda\\bin"}},
        {L"\\\\?\\C:\\cuda", {L"\\\\?\\C:\\cuda\\bin\\x64", L"\\\\?\\C:\\cuda\\bin"}},
        {L"", {}},
        {L"cuda", {}},
        {L"C:cuda", {}},
        {L"\\cuda", {}},
        {L"1:\\cuda", {}},
        {L"C:", {}},
    };
    for (const auto& [base, expected] : cases) {
        std::vector<std::wstring> directories;
        AddToolkitDirectory(directories, base);
        EXPECT_EQ(directories, expected) << std::string(base.begin(), base.end());
    }
}

CublasSearchInputs<wchar_t> WindowsInputs(std::map<std::wstring, std::wstring> variables,
                                          std::vector<std::wstring> rootEntries) {
    CublasSearchInputs<wchar_t> inputs;
    inputs.programPath = L"C:\\Apps\\Mivaro\\Mivaro.exe";
    inputs.variable = [variables](const std::wstring& name) {
        const auto it = variables.find(name);
        return it == variables.end() ? std::wstring() : it->second;
    };
    inputs.list = [rootEntries](const std::wstring& dir) {
        EXPECT_EQ(dir, L"C:\\Program Files\\NVIDIA GPU Computing Toolkit\\CUDA");
        return rootEntries;
    };
    return inputs;
}

TEST(FindCublasDirectories, WindowsOrder) {
    const auto directories = FindCublasDirectories(WindowsInputs(
        {{L"CUDA_PATH_V13_5", L"D:\\T135"}, {L"CUDA_PATH", L"D:\\T"}, {L"ProgramFiles", L"C:\\Program Files"}},
        {L"v12.8", L"v13.0", L"v13.5", L"V13.1", L"v13.x-notes.txt", L"v130"}));
    const std::wstring root = L"C:\\Program Files\\NVIDIA GPU Computing Toolkit\\CUDA\\";
    EXPECT_THAT(directories,
                ElementsAre(L"C:\\Apps\\Mivaro", L"D:\\T135\\bin\\x64", L"D:\\T135\\bin", L"D:\\T\\bin\\x64",
                            L"D:\\T\\bin", root + L"v13.5\\bin\\x64", root + L"v13.5\\bin",
                            root + L"v13.0\\bin\\x64", root + L"v13.0\\bin", root + L"v13.x-notes.txt\\bin\\x64",
                            root + L"v13.x-notes.txt\\bin"));
}

TEST(FindCublasDirectories, RelativeOrMissingValuesAddNothing) {
    auto inputs = WindowsInputs({{L"CUDA_PATH", L"cuda"}, {L"ProgramFiles", L"Program Files"}}, {});
    inputs.list = [](const std::wstring&) -> std::vector<std::wstring> {
        ADD_FAILURE() << "a relative ProgramFiles must not be listed";
        return {};
    };
    EXPECT_THAT(FindCublasDirectories(inputs), ElementsAre(L"C:\\Apps\\Mivaro"));

    inputs.programPath.clear();
    EXPECT_THAT(FindCublasDirectories(inputs), IsEmpty());
}

TEST(FindCublasDirectories, ProgramAtADriveRootKeepsTheRoot) {
    auto inputs = WindowsInputs({}, {});
    inputs.programPath = L"C:\\Mivaro.exe";
    EXPECT_THAT(FindCublasDirectories(inputs), ElementsAre(L"C:\\"));
}

// A Linux machine: variables, directory listings and the directories that exist.
struct LinuxMachine {
    std::map<std::string, std::string> variables;
    std::map<std::string, std::vector<std::string>> listings;
    std::set<std::string> directories;

    CublasSearchInputs<char> Inputs() const {
        CublasSearchInputs<char> inputs;
        inputs.programPath = "/opt/mivaro/mivaro-cli";
        inputs.variable = [this](const std::string& name) {
            const auto it = variables.find(name);
            return it == variables.end() ? std::string() : it->second;
        };
        inputs.list = [this](const std::string& dir) {
            const auto it = listings.find(dir);
            return it == listings.end() ? std::vector<std::string>() : it->second;
        };
        inputs.homeDirectory = "/home/ann";
        inputs.currentDirectory = "/work/run";
        inputs.isDirectory = [this](const std::string& path) { return directories.count(path) != 0; };
        return inputs;
    }
};

TEST(FindLinuxCublasDirectories, PythonEnvironmentsThenCondaThenToolkitVariablesThenLocalToolkits) {
    LinuxMachine machine;
    machine.variables = {{"VIRTUAL_ENV", "/srv/venv"},  {"CONDA_PREFIX", "/opt/conda/envs/ml/"},
                         {"CUDA_HOME", "/opt/cuda"},    {"CUDA_PATH", "/opt/cuda"},
                         {"PYTHONUSERBASE", ""}};
    // Several Pythons, listed in no order; names that are not a python3.N are no environment.
    machine.listings["/srv/venv/lib"] = {"python3.9", "python3.12t", "python3.10", "python3", "python3.x",
                                         "python3.12", "python2.7", "libfoo.so"};
    machine.listings["/opt/conda/envs/ml/lib"] = {"python3.11", "libcublas.so.13"};
    machine.listings["/home/ann/.local/lib"] = {"python3.11"};
    machine.listings["/usr/local"] = {"cuda", "cuda-13.0", "cuda-12.8", "cuda-13.5"};
    const std::string wheel = "site-packages/nvidia/cu13/lib";
    EXPECT_THAT(FindLinuxCublasDirectories(machine.Inputs()),
                ElementsAre("/opt/mivaro", "/srv/venv/lib/python3.12/" + wheel, "/srv/venv/lib/python3.12t/" + wheel,
                            "/srv/venv/lib/python3.10/" + wheel, "/srv/venv/lib/python3.9/" + wheel,
                            "/opt/conda/envs/ml/lib/python3.11/" + wheel, "/home/ann/.local/lib/python3.11/" + wheel,
                            "/opt/conda/envs/ml/lib", "/opt/cuda/lib64", "/opt/cuda/lib",  // CUDA_PATH repeats it
                            "/usr/local/cuda-13.5/lib64", "/usr/local/cuda-13.5/lib", "/usr/local/cuda-13.0/lib64",
                            "/usr/local/cuda-13.0/lib"));
}

TEST(FindLinuxCublasDirectories, RelativeOrEmptyValuesAddNothing) {
    LinuxMachine machine;
    machine.variables = {{"VIRTUAL_ENV", "venv"}, {"CONDA_PREFIX", ""},      {"CUDA_HOME", "cuda"},
                         {"CUDA_PATH", "./cuda"}, {"PYTHONUSERBASE", "pyuser"}};
    machine.listings["venv/lib"] = machine.listings["pyuser/lib"] = machine.listings["/home/ann/.local/lib"] = {
        "python3.12"};
    // A relative PYTHONUSERBASE is still the user's base, so ~/.local is not it.
    EXPECT_THAT(FindLinuxCublasDirectories(machine.Inputs()),
                ElementsAre("/opt/mivaro", "/usr/local/cuda-13.5/lib64", "/usr/local/cuda-13.5/lib"));

    machine.variables.erase("PYTHONUSERBASE");
    auto inputs = machine.Inputs();
    inputs.homeDirectory = "";
    inputs.programPath = "";
    EXPECT_THAT(FindLinuxCublasDirectories(inputs), ElementsAre("/usr/local/cuda-13.5/lib64", "/usr/local/cuda-13.5/lib"));
}

TEST(LinuxCublasOverride, NamesAFileOrTheLibraryInADirectory) {
    LinuxMachine machine;
    machine.directories = {"/opt/blas", "/work/run/libs"};
    EXPECT_EQ(LinuxCublasOverride(machine.Inputs()), std::nullopt);
    machine.variables["MIVARO_CUBLAS"] = "";
    EXPECT_EQ(LinuxCublasOverride(machine.Inputs()), std::nullopt);

    const std::map<std::string, std::string> cases = {
        {"/opt/blas", "/opt/blas/libcublas.so.13"},
        {"/opt/blas/", "/opt/blas/libcublas.so.13"},
        {"/opt/blas/libcublas.so.13.1.0", "/opt/blas/libcublas.so.13.1.0"},
        {"/missing/dir", "/missing/dir"},  // tried as a file, and reported as not there
        {"./libs", "/work/run/libs/libcublas.so.13"},
        {"../other/libcublas.so.13", "/work/other/libcublas.so.13"},
        {"//opt/./blas", "/opt/blas/libcublas.so.13"},
    };
    for (const auto& [value, expected] : cases) {
        machine.variables["MIVARO_CUBLAS"] = value;
        EXPECT_EQ(LinuxCublasOverride(machine.Inputs()), expected) << value;
    }
}

}  // namespace
