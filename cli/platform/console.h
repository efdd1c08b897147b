#pragma once
// The process's console: whether standard error is a terminal, and UTF-8 output on a
// Windows console for as long as the object lives.

namespace cli {

bool StandardErrorIsTerminal();

// A write to a closed pipe fails with an error the program reports, instead of ending the
// process silently through SIGPIPE (Windows already behaves so).
void LetWritesToClosedPipesFail();

class Utf8ConsoleOutput {
public:
    Utf8ConsoleOutput();
    ~Utf8ConsoleOutput();
    Utf8ConsoleOutput(const Utf8ConsoleOutput&) = delete;
    Utf8ConsoleOutput& operator=(const Utf8ConsoleOutput&) = delete;

private:
    unsigned previousCodePage_ = 0;  // 0: nothing to restore
};

}  // namespace cli
