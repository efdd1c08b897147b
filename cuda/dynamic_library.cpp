#include "cuda/dynamic_library.h"

#include <utility>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
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

#endif

}  // namespace gemm
