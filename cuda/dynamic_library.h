#pragma once
// Owner of one loaded shared library (a DLL on Windows, a shared object elsewhere). The
// NVIDIA libraries are never linked: each is loaded at run time and its functions are
// looked up by name, so the program starts and explains itself on machines without them.

#include <filesystem>
#include <string>

namespace gemm {

class DynamicLibrary {
public:
    DynamicLibrary() = default;  // holds nothing
    ~DynamicLibrary();
    DynamicLibrary(DynamicLibrary&& other) noexcept;
    DynamicLibrary& operator=(DynamicLibrary&& other) noexcept;
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;

    // A library of the operating system or its drivers, by file name. Windows searches the
    // system directory only; elsewhere the loader's standard search applies, which never
    // includes the current directory.
    static DynamicLibrary LoadSystem(const std::filesystem::path& fileName);

    // A library by full path. Its own dependencies are looked up in its directory, the
    // program's directory and the system directory on Windows (never along PATH); elsewhere
    // through the library's own run path and the standard search.
    static DynamicLibrary LoadFile(const std::filesystem::path& path);

    bool IsLoaded() const { return handle_ != nullptr; }

    // The loader's own text (UTF-8) for the last load on this thread that failed; to be asked
    // right after it.
    static std::string LastLoadError();

    // The file of the loaded library that a load of `file` (a path, or a bare name as the
    // library calls itself) would return; empty when no such library is loaded.
    static std::filesystem::path LoadedFile(const std::filesystem::path& file);

    // Points `entry` at the exported function `name`; nullptr (and false) when it is absent.
    template <typename Function>
    bool Bind(Function*& entry, const char* name) const {
        entry = reinterpret_cast<Function*>(Find(name));
        return entry != nullptr;
    }

private:
    using Entry = void (*)();

    explicit DynamicLibrary(void* handle) : handle_(handle) {}
    Entry Find(const char* name) const;
    void Release();

    void* handle_ = nullptr;
};

}  // namespace gemm
