#pragma once
// Functions of Windows' own libraries that are not KnownDLLs (d3d12, dxgi, dwmapi, version).
// Imported statically, such a library would be looked for beside the program first, where a
// browser's download folder may hold a file of the same name; found here at run time, it is
// loaded from the system directory only. Windows only.

#include <windows.h>

namespace system_library {

// First thing in a program: from here on a library named without a path is looked for in the
// system directory only, never in the program's folder or the current directory. (cuBLAS,
// which may lie beside the program, is loaded by its full path.)
inline void SearchSystemDirectoryOnly() { SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32); }

// The function `name` of the system library `fileName`, or nullptr when either is missing. A
// library found stays loaded for the rest of the process, as an import would; callers keep the
// pointer in a function-local static, so each library is looked up once.
template <typename Function>
Function* Find(const wchar_t* fileName, const char* name) {
    const HMODULE module = LoadLibraryExW(fileName, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (module == nullptr) return nullptr;
    return reinterpret_cast<Function*>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

}  // namespace system_library
