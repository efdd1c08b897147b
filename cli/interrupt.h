#pragma once
// Ctrl+C handling for the lifetime of one object: the first interrupt requests a stop
// through the given stop source, so the running benchmark ends at its next check and
// releases everything; a second interrupt gets the platform's default handling (the
// process ends at once), in case a stop check is far away.

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
