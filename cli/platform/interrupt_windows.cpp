#include "cli/platform/interrupt.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stdexcept>

#include <windows.h>

namespace cli {
namespace {

// The console calls the handler on a thread of its own, where a stop request is safe.
std::mutex gMutex;
std::stop_source gSource{std::nostopstate};
bool gInstalled = false;
std::condition_variable gRemoved;
std::atomic<bool> gInterrupted{false};

BOOL WINAPI OnConsoleControl(DWORD type) {
    const bool closing = type == CTRL_CLOSE_EVENT || type == CTRL_LOGOFF_EVENT || type == CTRL_SHUTDOWN_EVENT;
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT && !closing) {
        return FALSE;
    }
    if (gInterrupted.exchange(true)) {
        return FALSE;  // a second request of any kind: the default handler ends the process
    }
    std::unique_lock lock(gMutex);
    if (gInstalled) {
        gSource.request_stop();  // with --output, the interrupted document is written here
    }
    if (closing) {
        // The process ends when this returns: give the run time to stop and write its
        // document first (Windows allows about five seconds).
        gRemoved.wait_for(lock, std::chrono::milliseconds(4500), [] { return !gInstalled; });
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
    gRemoved.notify_all();
}

bool InterruptHandler::Interrupted() const { return gInterrupted; }

}  // namespace cli
