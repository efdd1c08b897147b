#include "cli/platform/files.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "core/utf8.h"

namespace cli {

namespace {

// A narrow path would be read in the ANSI code page on Windows; the runner's paths are UTF-8.
std::filesystem::path PathOf(const std::string& utf8) {
#ifdef _WIN32
    return std::filesystem::path(Utf8ToWide(utf8));
#else
    return std::filesystem::path(utf8);
#endif
}

std::string Utf8Of(const std::filesystem::path& path) {
#ifdef _WIN32
    return WideToUtf8(path.wstring());
#else
    return path.string();
#endif
}

bool HasJsonExtension(const std::filesystem::path& path) {
    std::string extension = Utf8Of(path.extension());
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return extension == ".json";
}

}  // namespace

std::optional<std::vector<std::string>> JsonFilesUnder(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code error;
    if (!fs::is_directory(PathOf(path), error)) return std::nullopt;
    std::vector<std::string> files;
    fs::recursive_directory_iterator it(PathOf(path), fs::directory_options::skip_permission_denied, error);
    for (; !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        std::error_code typeError;
        if (HasJsonExtension(it->path()) && it->is_regular_file(typeError)) files.push_back(Utf8Of(it->path()));
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::optional<std::string> ReadFileBytes(const std::string& path, std::size_t maxBytes) {
    std::ifstream file(PathOf(path), std::ios::binary);
    if (!file) return std::nullopt;
    // In pieces, so that a document of a few kilobytes costs a few kilobytes ('summary' reads
    // thousands of them), whatever the limit.
    std::string bytes;
    char piece[1 << 16];
    while (bytes.size() <= maxBytes && file) {
        file.read(piece, static_cast<std::streamsize>(std::min(sizeof piece, maxBytes + 1 - bytes.size())));
        bytes.append(piece, static_cast<std::size_t>(file.gcount()));
    }
    if (file.bad()) return std::nullopt;
    return bytes;
}

}  // namespace cli
