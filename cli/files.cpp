#include "cli/files.h"

#include <filesystem>
#include <fstream>

#include "core/utf8.h"

namespace cli {

std::optional<std::string> ReadFileBytes(const std::string& path, std::size_t maxBytes) {
#ifdef _WIN32
    // A narrow path would be read in the ANSI code page; the runner's paths are UTF-8.
    std::ifstream file(std::filesystem::path(Utf8ToWide(path)), std::ios::binary);
#else
    std::ifstream file(std::filesystem::path(path), std::ios::binary);
#endif
    if (!file) return std::nullopt;
    std::string bytes(maxBytes + 1, '\0');
    file.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (file.bad()) return std::nullopt;
    bytes.resize(static_cast<std::size_t>(file.gcount()));
    return bytes;
}

}  // namespace cli
