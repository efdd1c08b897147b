#pragma once
// The run's progress on standard error. On a terminal one line is rewritten in place for
// each stage; anywhere else (a pipe, a log file) every stage is a line of its own.

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <thread>

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

// A ProgressDisplay written by a thread of its own: standard error may block (a pipe nobody
// reads, a paused terminal), and a stage reported by a card must never hold up that card, the
// other cards or the stop request's document. On a terminal only the newest stage waiting is
// shown; anywhere else every stage is kept.
class BackgroundProgress {
public:
    BackgroundProgress(std::ostream& out, bool terminal);
    BackgroundProgress(const BackgroundProgress&) = delete;
    BackgroundProgress& operator=(const BackgroundProgress&) = delete;
    ~BackgroundProgress();  // writes what is waiting, then clears the line

    // Returns at once.
    void Show(std::string utf8);

    // Waits until every stage reported before it is written and the line is cleared, so that
    // the next output starts on a clean line.
    void Clear();

private:
    void WriteUntilStopped();

    const bool terminal_;
    ProgressDisplay display_;  // touched by the writer thread only while it runs
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::optional<std::string>> waiting_;  // nullopt: clear the line
    bool writing_ = false;
    bool stopping_ = false;  // set under the lock, so the writer cannot miss it
    std::thread writer_;     // last: joined before the rest goes
};

// Number of code points of a UTF-8 text: the columns it takes for the texts shown here.
std::size_t Utf8Columns(std::string_view utf8);

}  // namespace cli
