#include "cli/interrupt.h"

#include <atomic>
#include <mutex>
#include <stdexcept>

#include <windows.h>

namespace cli {
namespace {

// The console calls the handler on a thread of its own, where a stop request is safe.
std::mutex gMutex;
std::stop_source gSource{std::nostopstate};
bool gInstalled = false;
std::atomic<bool> gInterrupted{false};

BOOL WINAPI OnConsoleControl(DWORD type) {
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT) {
        return FALSE;
    }
    if (gInterrupted.exchange(true)) {
        return FALSE;  // second interrupt: the default handler ends the process
    }
    const std::lock_guard lock(gMutex);
    if (gInstalled) {
        gSource.request_stop();
    }
    return TRUE;
}

}  // namespace

InterruptHandler::InterruptHandler(std::stop_source source) {
    {
        const std::lock_guard lock(gMutex);
        if (gInstalled) {
            throw std::logic_error("only one interrupt handler may be installed");
        }
        gSource = std::move(source);
        gInstalled = true;
        gInterrupted = false;
    }
    // Without a console there is nothing to interrupt from; the call then fails harmlessly.
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

InterruptHandler::~InterruptHandler() {
    SetConsoleCtrlHandler(OnConsoleControl, FALSE);
    const std::lock_guard lock(gMutex);
    gInstalled = false;
    gSource = std::stop_source{std::nostopstate};
}

bool InterruptHandler::Interrupted() const { return gInterrupted; }

}  // namespace cli
