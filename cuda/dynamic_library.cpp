#include "cuda/dynamic_library.h"

#include <utility>

#ifdef _WIN32
#include <windows.h>

#include "core/utf8.h"
#else
#include <dlfcn.h>
#include <link.h>
#endif

namespace gemm {

DynamicLibrary::~DynamicLibrary() { Release(); }

DynamicLibrary::DynamicLibrary(DynamicLibrary&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)) {}

DynamicLibrary& DynamicLibrary::operator=(DynamicLibrary&& other) noexcept {
    if (this != &other) {
        Release();
        handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
}

#ifdef _WIN32

DynamicLibrary DynamicLibrary::LoadSystem(const std::filesystem::path& fileName) {
    return DynamicLibrary(LoadLibraryExW(fileName.c_str(), nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
}

DynamicLibrary DynamicLibrary::LoadFile(const std::filesystem::path& path) {
    constexpr DWORD kBesideLibraryProgramAndSystem = LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR |
                                                     LOAD_LIBRARY_SEARCH_APPLICATION_DIR |
                                                     LOAD_LIBRARY_SEARCH_SYSTEM32;
    return DynamicLibrary(LoadLibraryExW(path.c_str(), nullptr, kBesideLibraryProgramAndSystem));
}

DynamicLibrary::Entry DynamicLibrary::Find(const char* name) const {
    if (handle_ == nullptr) return nullptr;
    return reinterpret_cast<Entry>(GetProcAddress(static_cast<HMODULE>(handle_), name));
}

void DynamicLibrary::Release() {
    if (handle_ != nullptr) FreeLibrary(static_cast<HMODULE>(std::exchange(handle_, nullptr)));
}

std::string DynamicLibrary::LastLoadError() {
    const DWORD code = GetLastError();
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
        0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message(text != nullptr ? text : L"", length);
    if (text != nullptr) LocalFree(text);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' ')) {
        message.pop_back();
    }
    return "error " + std::to_string(code) + (message.empty() ? "" : ": " + WideToUtf8(message));
}

std::filesystem::path DynamicLibrary::LoadedFile(const std::filesystem::path& file) {
    const HMODULE module = GetModuleHandleW(file.c_str());
    if (module == nullptr) return {};
    std::wstring buffer(32768, L'\0');
    const DWORD length = GetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0 || length >= buffer.size()) return {};
    buffer.resize(length);
    return buffer;
}

#else

DynamicLibrary DynamicLibrary::LoadSystem(const std::filesystem::path& fileName) {
    // A bare name makes dlopen use the standard search, which skips the current directory.
    if (fileName.has_parent_path()) return DynamicLibrary();
    return DynamicLibrary(dlopen(fileName.c_str(), RTLD_NOW | RTLD_LOCAL));
}

DynamicLibrary DynamicLibrary::LoadFile(const std::filesystem::path& path) {
    if (!path.is_absolute()) return DynamicLibrary();
    return DynamicLibrary(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL));
}

DynamicLibrary::Entry DynamicLibrary::Find(const char* name) const {
    if (handle_ == nullptr) return nullptr;
    return reinterpret_cast<Entry>(dlsym(handle_, name));
}

void DynamicLibrary::Release() {
    if (handle_ != nullptr) dlclose(std::exchange(handle_, nullptr));
}

std::string DynamicLibrary::LastLoadError() {
    const char* text = dlerror();
    return text != nullptr ? text : "";
}

std::filesystem::path DynamicLibrary::LoadedFile(const std::filesystem::path& file) {
    // RTLD_NOLOAD only looks among the loaded libraries; the reference it takes is given back.
    void* handle = dlopen(file.c_str(), RTLD_LAZY | RTLD_NOLOAD);
    if (handle == nullptr) return {};
    std::filesystem::path where;
    link_map* map = nullptr;
    if (dlinfo(handle, RTLD_DI_LINKMAP, &map) == 0 && map != nullptr && map->l_name != nullptr) where = map->l_name;
    dlclose(handle);
    return where;
}

#endif

}  // namespace gemm
