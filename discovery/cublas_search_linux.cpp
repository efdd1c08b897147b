// The places this Linux machine offers for cuBLAS: the program's path, the environment (the
// Python environments, conda, CUDA_HOME, CUDA_PATH, MIVARO_CUBLAS), the home directory, the
// toolkits under /usr/local, and last the system's own library search.

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "discovery/cuda_components.h"

namespace {

std::string ProgramPath() {
    std::error_code error;
    const auto path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : path.string();
}

std::string Variable(const std::string& name) {
    const char* value = std::getenv(name.c_str());
    return value != nullptr ? std::string(value) : std::string();
}

std::vector<std::string> List(const std::string& directory) {
    std::vector<std::string> names;
    std::error_code error;
    for (std::filesystem::directory_iterator it(directory, error), end; !error && it != end;
         it.increment(error)) {
        names.push_back(it->path().filename().string());
    }
    return names;
}

// $HOME, as Python takes it, else the account's home directory.
std::string HomeDirectory() {
    if (std::string home = Variable("HOME"); !home.empty()) {
        return home;
    }
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr ||
        found->pw_dir == nullptr) {
        return {};
    }
    return found->pw_dir;
}

std::string CurrentDirectory() {
    std::error_code error;
    const auto path = std::filesystem::current_path(error);
    return error ? std::string() : path.string();
}

bool IsDirectory(const std::string& path) {
    std::error_code error;
    return std::filesystem::is_directory(path, error);
}

CublasSearchInputs<char> ThisMachine() {
    return {ProgramPath(), Variable, List, HomeDirectory(), CurrentDirectory(), IsDirectory};
}

}  // namespace

std::vector<std::filesystem::path> FindCublasDirectories() {
    std::vector<std::filesystem::path> directories;
    for (const auto& directory : FindLinuxCublasDirectories(ThisMachine())) {
        directories.emplace_back(directory);
    }
    return directories;
}

std::optional<std::filesystem::path> CublasOverride() {
    const std::optional<std::string> named = LinuxCublasOverride(ThisMachine());
    return named ? std::optional<std::filesystem::path>(*named) : std::nullopt;
}
