// The places this Linux machine offers for cuBLAS: the program's path, CUDA_PATH, the
// toolkits under /usr/local, and last the system's own library search.

#include <cstdlib>
#include <filesystem>
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

}  // namespace

std::vector<std::filesystem::path> FindCublasDirectories() {
    CublasSearchInputs<char> inputs{ProgramPath(), Variable, List};
    std::vector<std::filesystem::path> directories;
    for (const auto& directory : FindLinuxCublasDirectories(inputs)) {
        directories.emplace_back(directory);
    }
    return directories;
}
