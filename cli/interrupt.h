#pragma once
// Interrupt handling for the lifetime of one object. Interrupts are Ctrl+C, SIGTERM on
// POSIX systems, and closing the console, logging off or shutting down on Windows. The
// first interrupt requests a stop through the given stop source, so the running benchmark
// ends at its next check, releases everything and its document is written; a second one
// gets the platform's default handling (the process ends at once), in case a stop check is
// far away. On Windows a closing console ends the process when the handler returns, so the
// handler holds it until this object is destroyed (within the few seconds Windows grants).

#include <stop_token>

namespace cli {

class InterruptHandler {
public:
    explicit InterruptHandler(std::stop_source source);
    ~InterruptHandler();
    InterruptHandler(const InterruptHandler&) = delete;
    InterruptHandler& operator=(const InterruptHandler&) = delete;

    // True once an interrupt arrived while this handler was installed.
    bool Interrupted() const;
};

}  // namespace cli
