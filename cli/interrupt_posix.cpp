#include "cli/interrupt.h"

#include <csignal>
#include <cerrno>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <thread>

#include <signal.h>
#include <unistd.h>

namespace cli {
namespace {

// The signal handler may only touch async-signal-safe things: it writes one byte into a
// pipe, and a watcher thread turns that byte into the stop request.
int gPipe[2] = {-1, -1};
volatile std::sig_atomic_t gInterrupted = 0;

extern "C" void OnInterrupt(int) {
    const int savedErrno = errno;
    gInterrupted = 1;
    const char byte = 'i';
    [[maybe_unused]] const auto written = write(gPipe[1], &byte, 1);
    errno = savedErrno;
}

constexpr int kSignals[] = {SIGINT, SIGTERM};

struct State {
    struct sigaction previous[2] {};  // per kSignals entry
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
    gInterrupted = 0;
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
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    // One-shot: the second Ctrl+C (or SIGTERM) meets the default action and ends the process.
    action.sa_flags = SA_RESETHAND | SA_RESTART;
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

bool InterruptHandler::Interrupted() const { return gInterrupted != 0; }

}  // namespace cli
