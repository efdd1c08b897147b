#pragma once
// The run's progress on standard error. On a terminal one line is rewritten in place for
// each stage; anywhere else (a pipe, a log file) every stage is a line of its own.

#include <cstddef>
#include <ostream>
#include <string_view>

namespace cli {

class ProgressDisplay {
public:
    ProgressDisplay(std::ostream& out, bool terminal) : out_(out), terminal_(terminal) {}
    ProgressDisplay(const ProgressDisplay&) = delete;
    ProgressDisplay& operator=(const ProgressDisplay&) = delete;
    ~ProgressDisplay() { Clear(); }

    // utf8: the stage text, one line.
    void Show(std::string_view utf8);

    // Removes the updating line so that the next output starts on a clean line.
    void Clear();

private:
    std::ostream& out_;
    bool terminal_;
    std::size_t shownColumns_ = 0;  // width of the line currently on the terminal
};

// Number of code points of a UTF-8 text: the columns it takes for the texts shown here.
std::size_t Utf8Columns(std::string_view utf8);

}  // namespace cli
