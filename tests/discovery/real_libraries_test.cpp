// The CUDA components detection of the program, run with stand-in libraries placed where a
// CUDA Toolkit installation and the NVIDIA driver put theirs. Each detection runs in a fresh
// process (a probe program copied into a directory of its own), since a loaded cuBLAS stays
// loaded for the life of its process.

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <utility>

#include "tests/wine_only.h"

namespace {

namespace fs = std::filesystem;

class OwnedHandle {
public:
    explicit OwnedHandle(HANDLE handle) : handle_(handle) {}
    ~OwnedHandle() {
        if (handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE) {
            CloseHandle(handle_);
        }
    }
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;
    HANDLE Get() const { return handle_; }
    bool IsValid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_;
};

fs::path ThisProgramDirectory() {
    std::wstring buffer(32768, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    buffer.resize(length);
    return fs::path(buffer).parent_path();
}

// Built beside this test.
fs::path CompleteCublas() { return ThisProgramDirectory() / L"standin-complete" / L"cublas64_13.dll"; }
fs::path IncompleteCublas() { return ThisProgramDirectory() / L"standin-incomplete" / L"cublas64_13.dll"; }
fs::path DriverStandIn() { return ThisProgramDirectory() / L"standin-driver" / L"nvcuda.dll"; }
fs::path ProbeProgram() { return ThisProgramDirectory() / L"discovery_cuda_probe.exe"; }

fs::path SystemDirectory() {
    wchar_t buffer[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryW(buffer, MAX_PATH);
    return fs::path(std::wstring(buffer, length));
}

const wchar_t* const kSearchVariables[] = {L"CUDA_PATH_V13_5", L"CUDA_PATH", L"ProgramFiles", L"ProgramW6432"};

using Fields = std::map<std::string, std::string>;

class RealLibraries : public ::testing::Test {
protected:
    void SetUp() override {
        // Stand-in NVIDIA libraries go into the system directory, and the expectations are
        // those of Wine's machine (no NVIDIA driver).
        REQUIRE_WINE("it puts a stand-in NVIDIA driver library into the system directory");
        root_ = fs::temp_directory_path() /
                (L"mivaro-discovery-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                 fs::path(::testing::UnitTest::GetInstance()->current_test_info()->name()).wstring());
        fs::remove_all(root_);
        fs::create_directories(root_);
        for (const wchar_t* name : kSearchVariables) {
            wchar_t value[32768];
            const DWORD length = GetEnvironmentVariableW(name, value, 32768);
            saved_[name] = length > 0 && length < 32768 ? std::optional<std::wstring>(value) : std::nullopt;
        }
    }

    void TearDown() override {
        for (const auto& [name, value] : saved_) {
            SetEnvironmentVariableW(name.c_str(), value ? value->c_str() : nullptr);
        }
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }

    static void Place(const fs::path& source, const fs::path& target) {
        fs::create_directories(target.parent_path());
        fs::copy_file(source, target, fs::copy_options::overwrite_existing);
    }

    fs::path AppDirectory() const { return root_ / L"app"; }
    fs::path ToolkitRoot() const { return root_ / L"pf" / L"NVIDIA GPU Computing Toolkit" / L"CUDA"; }

    // Runs the detection from the app directory with exactly these search variables set.
    Fields Detect(const std::map<std::wstring, fs::path>& variables) {
        for (const wchar_t* name : kSearchVariables) {
            // Wine sets a 64-bit process's ProgramFiles from ProgramW6432 when it starts.
            const auto it = variables.find(std::wstring(name) == L"ProgramW6432" ? L"ProgramFiles" : name);
            SetEnvironmentVariableW(name, it != variables.end() ? it->second.c_str() : nullptr);
        }
        const fs::path program = AppDirectory() / L"discovery_cuda_probe.exe";
        Place(ProbeProgram(), program);
        const fs::path outputFile = root_ / L"probe-output.txt";
        {
            SECURITY_ATTRIBUTES inheritable{sizeof(inheritable), nullptr, TRUE};
            OwnedHandle output(CreateFileW(outputFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inheritable,
                                           CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
            if (!output.IsValid()) {
                ADD_FAILURE() << "cannot create " << outputFile.string();
                return {};
            }
            STARTUPINFOW startup{};
            startup.cb = sizeof(startup);
            startup.dwFlags = STARTF_USESTDHANDLES;
            startup.hStdOutput = output.Get();
            startup.hStdError = output.Get();
            PROCESS_INFORMATION process{};
            std::wstring commandLine = L"\"" + program.wstring() + L"\"";
            if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                nullptr, &startup, &process)) {
                ADD_FAILURE() << "cannot start the probe: " << GetLastError();
                return {};
            }
            OwnedHandle processHandle(process.hProcess);
            OwnedHandle threadHandle(process.hThread);
            EXPECT_EQ(WaitForSingleObject(process.hProcess, 120000), WAIT_OBJECT_0);
            DWORD exitCode = 1;
            GetExitCodeProcess(process.hProcess, &exitCode);
            EXPECT_EQ(exitCode, 0u);
        }
        Fields fields;
        std::ifstream in(outputFile);
        for (std::string line; std::getline(in, line);) {
            const auto equals = line.find('=');
            if (equals != std::string::npos) {
                fields[line.substr(0, equals)] = line.substr(equals + 1);
            }
        }
        return fields;
    }

    // The cuBLAS library the probe reported as loaded is this file.
    static void ExpectLoaded(const Fields& fields, const fs::path& expected) {
        EXPECT_EQ(fields.at("cublasMissing"), "0");
        EXPECT_EQ(fields.at("cublas"), "13.5.42");
        const std::string& text = fields.at("cublasPath");
        const fs::path reported(std::u8string(text.begin(), text.end()));
        std::error_code error;
        EXPECT_TRUE(fs::equivalent(reported, expected, error))
            << "loaded " << fields.at("cublasPath") << ", expected " << expected.string();
    }

    static void ExpectMissing(const Fields& fields) {
        EXPECT_EQ(fields.at("cublasMissing"), "1");
        EXPECT_EQ(fields.at("cublas"), "0.0.0");
        EXPECT_EQ(fields.at("cublasPath"), "");
    }

    fs::path root_;
    std::map<std::wstring, std::optional<std::wstring>> saved_;
};

TEST_F(RealLibraries, ProgramDirectoryComesBeforeCudaPath) {
    Place(CompleteCublas(), AppDirectory() / L"cublas64_13.dll");
    Place(CompleteCublas(), root_ / L"cuda" / L"bin" / L"x64" / L"cublas64_13.dll");
    const Fields fields = Detect({{L"CUDA_PATH", root_ / L"cuda"}, {L"ProgramFiles", root_ / L"pf"}});
    ExpectLoaded(fields, AppDirectory() / L"cublas64_13.dll");
}

TEST_F(RealLibraries, VersionedCudaPathComesFirstAndBinFollowsBinX64) {
    Place(CompleteCublas(), root_ / L"cuda135" / L"bin" / L"cublas64_13.dll");
    Place(CompleteCublas(), root_ / L"cuda" / L"bin" / L"x64" / L"cublas64_13.dll");
    const Fields fields = Detect({{L"CUDA_PATH_V13_5", root_ / L"cuda135"},
                                  {L"CUDA_PATH", root_ / L"cuda"},
                                  {L"ProgramFiles", root_ / L"pf"}});
    ExpectLoaded(fields, root_ / L"cuda135" / L"bin" / L"cublas64_13.dll");
}

TEST_F(RealLibraries, ToolkitRootRequiredVersionFirstThenOtherThirteens) {
    Place(CompleteCublas(), ToolkitRoot() / L"v13.0" / L"bin" / L"x64" / L"cublas64_13.dll");
    Place(CompleteCublas(), ToolkitRoot() / L"v13.5" / L"bin" / L"cublas64_13.dll");
    Place(CompleteCublas(), ToolkitRoot() / L"v12.8" / L"bin" / L"x64" / L"cublas64_13.dll");
    const std::map<std::wstring, fs::path> variables = {{L"CUDA_PATH", L"relative\\cuda"},
                                                        {L"ProgramFiles", root_ / L"pf"}};
    ExpectLoaded(Detect(variables), ToolkitRoot() / L"v13.5" / L"bin" / L"cublas64_13.dll");

    fs::remove_all(ToolkitRoot() / L"v13.5");
    ExpectLoaded(Detect(variables), ToolkitRoot() / L"v13.0" / L"bin" / L"x64" / L"cublas64_13.dll");

    fs::remove_all(ToolkitRoot() / L"v13.0");
    ExpectMissing(Detect(variables));  // 12.8 is never tried
}

TEST_F(RealLibraries, LibraryLackingAFunctionEndsTheSearch) {
    Place(IncompleteCublas(), root_ / L"cuda135" / L"bin" / L"x64" / L"cublas64_13.dll");
    Place(CompleteCublas(), root_ / L"cuda" / L"bin" / L"x64" / L"cublas64_13.dll");
    const Fields fields = Detect({{L"CUDA_PATH_V13_5", root_ / L"cuda135"},
                                  {L"CUDA_PATH", root_ / L"cuda"},
                                  {L"ProgramFiles", root_ / L"pf"}});
    ExpectMissing(fields);
}

TEST_F(RealLibraries, NoDriverNoLibrary) {
    const Fields fields = Detect({{L"ProgramFiles", root_ / L"pf"}});
    ExpectMissing(fields);
    EXPECT_EQ(fields.at("driverVersion"), "0");
    EXPECT_EQ(fields.at("runtimeVersion"), "0");
    EXPECT_EQ(fields.at("driverStatus"), "0");
}

// This test runs in a private copy of the Wine prefix (see private-wine-prefix.sh), so no
// other test sees the stand-in driver library while it is in the system directory.
TEST_F(RealLibraries, DriverLibraryInTheSystemDirectory) {
    const fs::path installed = SystemDirectory() / L"nvcuda.dll";
    ASSERT_FALSE(fs::exists(installed)) << "the prefix already has a driver library";
    Place(DriverStandIn(), installed);
    const Fields withDriver = Detect({{L"ProgramFiles", root_ / L"pf"}});
    fs::remove(installed);

    EXPECT_EQ(withDriver.at("driverVersion"), "13020");
    // The stand-in cannot serve the runtime: no runtime version, no devices, no text.
    EXPECT_EQ(withDriver.at("runtimeVersion"), "0");
    EXPECT_EQ(withDriver.at("deviceCount"), "0");
    EXPECT_EQ(withDriver.at("errorText"), "");
    // Wine's PCI inventory has no NVIDIA adapter with the driver bound.
    EXPECT_EQ(withDriver.at("driverStatus"), "0");

    EXPECT_EQ(Detect({{L"ProgramFiles", root_ / L"pf"}}).at("driverVersion"), "0");
}

}  // namespace
