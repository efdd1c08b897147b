#include "cli/platform/console.h"

#include <windows.h>

namespace cli {

bool StandardErrorIsTerminal() {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

void LetWritesToClosedPipesFail() {}

Utf8ConsoleOutput::Utf8ConsoleOutput() {
    const UINT previous = GetConsoleOutputCP();
    if (previous != 0 && previous != CP_UTF8 && SetConsoleOutputCP(CP_UTF8)) {
        previousCodePage_ = previous;
    }
}

Utf8ConsoleOutput::~Utf8ConsoleOutput() {
    if (previousCodePage_ != 0) {
        SetConsoleOutputCP(previousCodePage_);
    }
}

}  // namespace cli
