#pragma once
// Stop requests for the lifetime of one object: Ctrl+C; SIGTERM and SIGHUP (a closed terminal
// or a lost SSH session) on POSIX systems; closing the console, logging off or shutting down
// on Windows. The first request stops through the given stop source, so the running benchmark
// ends at its next check, releases everything and its document is written; any second
// request, of whatever kind, ends the process at once, in case a stop check is far away. On
// Windows a closing console ends the process when the handler returns, so the handler holds
// it until this object is destroyed (within the few seconds Windows grants).

#include <stop_token>

namespace cli {

class InterruptHandler {
public:
    explicit InterruptHandler(std::stop_source source);
    ~InterruptHandler();
    InterruptHandler(const InterruptHandler&) = delete;
    InterruptHandler& operator=(const InterruptHandler&) = delete;

    // True once a stop request arrived while this handler was installed.
    bool Interrupted() const;
};

}  // namespace cli
