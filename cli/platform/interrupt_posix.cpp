#include "cli/platform/interrupt.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <thread>

#include <signal.h>
#include <unistd.h>

namespace cli {
namespace {

// The signal handler may only touch async-signal-safe things: a lock-free counter and one
// byte into a pipe; a watcher thread turns that byte into the stop request.
int gPipe[2] = {-1, -1};
std::atomic<int> gRequests{0};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void OnStopSignal(int signal) {
    if (gRequests.fetch_add(1) > 0) {
        // A second request: the signal's default action ends the process once this returns.
        struct sigaction fallback {};
        fallback.sa_handler = SIG_DFL;
        sigemptyset(&fallback.sa_mask);
        sigaction(signal, &fallback, nullptr);
        raise(signal);
        return;
    }
    const int savedErrno = errno;
    const char byte = 'i';
    [[maybe_unused]] const auto written = write(gPipe[1], &byte, 1);
    errno = savedErrno;
}

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

struct State {
    struct sigaction previous[std::size(kSignals)] {};
    std::jthread watcher;
};
std::optional<State> gState;

}  // namespace

InterruptHandler::InterruptHandler(std::stop_source source) {
    if (gState) {
        throw std::logic_error("only one interrupt handler may be installed");
    }
    if (pipe(gPipe) != 0) {
        throw std::runtime_error("pipe failed");
    }
    gRequests = 0;
    State& state = gState.emplace();
    state.watcher = std::jthread([source]() mutable {
        char byte = 0;
        for (;;) {
            const auto n = read(gPipe[0], &byte, 1);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n != 1 || byte != 'i') {
                return;  // 'q' from the destructor, or the pipe failed
            }
            source.request_stop();
        }
    });
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    for (const int signal : kSignals) sigaddset(&action.sa_mask, signal);  // one handler at a time
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < std::size(kSignals); ++i) sigaction(kSignals[i], &action, &state.previous[i]);
}

InterruptHandler::~InterruptHandler() {
    for (std::size_t i = 0; i < std::size(kSignals); ++i) sigaction(kSignals[i], &gState->previous[i], nullptr);
    const char quit = 'q';
    [[maybe_unused]] const auto written = write(gPipe[1], &quit, 1);
    gState->watcher.join();
    gState.reset();
    close(gPipe[0]);
    close(gPipe[1]);
    gPipe[0] = gPipe[1] = -1;
}

bool InterruptHandler::Interrupted() const { return gRequests > 0; }

}  // namespace cli
