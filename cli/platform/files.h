#pragma once
// The files the console runner reads and writes, named by UTF-8 paths as typed.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cli {

// The file's bytes, no more than maxBytes + 1 of them; nullopt when it cannot be read.
std::optional<std::string> ReadFileBytes(const std::string& path, std::size_t maxBytes);

// The *.json files in the folder at path and in its subfolders (not following links to
// folders), sorted by path; nullopt when path is not a folder. Unreadable subfolders are
// passed over.
std::optional<std::vector<std::string>> JsonFilesUnder(const std::string& path);

// Writes contents to a new file beside path and then puts it in path's place, so that path
// holds either what it held before or the whole of contents. Returns why it could not (one
// line, the system's words), empty on success.
std::string WriteFileReplacing(const std::string& path, std::string_view contents);

}  // namespace cli
