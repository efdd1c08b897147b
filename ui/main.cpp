// Entry point of Mivaro.exe.
#include <windows.h>

#include "core/system_library.h"
#include "ui/program.h"
#include "ui/system_services.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    system_library::SearchSystemDirectoryOnly();
    SystemServices services;
    return RunProgram(instance, showCommand, services);
}
