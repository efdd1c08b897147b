#include "cli/platform/files.h"

#include <algorithm>
#include <atomic>

#include <windows.h>

#include "core/utf8.h"

namespace cli {
namespace {

// The system's message for an error code, one line.
std::string ErrorText(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
        reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text = length > 0 ? std::wstring(buffer, length) : L"Windows error " + std::to_wstring(code);
    LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) text.pop_back();
    return WideToUtf8(text);
}

class FileHandle {
public:
    explicit FileHandle(HANDLE handle) : handle_(handle) {}
    ~FileHandle() { Close(); }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    HANDLE get() const { return handle_; }
    bool Close() {
        const bool closed = handle_ == INVALID_HANDLE_VALUE || CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
        return closed;
    }

private:
    HANDLE handle_;
};

}  // namespace

std::string WriteFileReplacing(const std::string& path, std::string_view contents) {
    static std::atomic<unsigned> written{0};
    const std::wstring target = Utf8ToWide(path);
    const std::wstring temporary =
        target + L".tmp-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(written++);
    FileHandle file(
        CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) return ErrorText(GetLastError());
    DWORD error = ERROR_SUCCESS;
    while (!contents.empty() && error == ERROR_SUCCESS) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(contents.size(), 1u << 30));
        DWORD done = 0;
        if (!WriteFile(file.get(), contents.data(), chunk, &done, nullptr)) {
            error = GetLastError();
        } else if (done == 0) {
            error = ERROR_WRITE_FAULT;
        } else {
            contents.remove_prefix(done);
        }
    }
    if (error == ERROR_SUCCESS && !FlushFileBuffers(file.get())) error = GetLastError();
    if (!file.Close() && error == ERROR_SUCCESS) error = GetLastError();
    if (error == ERROR_SUCCESS &&
        !MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error = GetLastError();
    }
    if (error == ERROR_SUCCESS) return {};
    DeleteFileW(temporary.c_str());
    return ErrorText(error);
}

}  // namespace cli
