// A library planted beside the programs under the name of one they use: when loaded, it leaves
// a file beside itself named after itself, ending ".static" when it came in with the program's
// imports at start-up and ".dynamic" when something loaded it later.

#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    wchar_t path[MAX_PATH + 16];
    const DWORD length = GetModuleFileNameW(instance, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return TRUE;
    lstrcpyW(path + length, reserved != nullptr ? L".static" : L".dynamic");
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    return TRUE;
}

// Under Wine a system library of its own may load the stand-in for version.dll (see
// planted_libraries_test.sh); these keep its callers from aborting on a missing function.
extern "C" __declspec(dllexport) DWORD WINAPI GetFileVersionInfoSizeW(LPCWSTR, LPDWORD) {
    SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
    return 0;
}
extern "C" __declspec(dllexport) BOOL WINAPI GetFileVersionInfoW(LPCWSTR, DWORD, DWORD, LPVOID) { return FALSE; }
extern "C" __declspec(dllexport) BOOL WINAPI VerQueryValueW(LPCVOID, LPCWSTR, LPVOID*, PUINT) { return FALSE; }
