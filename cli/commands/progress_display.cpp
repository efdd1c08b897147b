#include "cli/commands/progress_display.h"

#include <string>

namespace cli {

std::size_t Utf8Columns(std::string_view utf8) {
    std::size_t columns = 0;
    for (const char c : utf8) {
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
            ++columns;
        }
    }
    return columns;
}

void ProgressDisplay::Show(std::string_view utf8) {
    if (!terminal_) {
        out_ << utf8 << '\n' << std::flush;
        return;
    }
    // Carriage return, the text, then blanks over whatever the longer previous text left.
    const std::size_t columns = Utf8Columns(utf8);
    out_ << '\r' << utf8;
    if (columns < shownColumns_) {
        out_ << std::string(shownColumns_ - columns, ' ') << '\r' << utf8;
    }
    out_ << std::flush;
    shownColumns_ = columns;
}

void ProgressDisplay::Clear() {
    if (terminal_ && shownColumns_ > 0) {
        out_ << '\r' << std::string(shownColumns_, ' ') << '\r' << std::flush;
        shownColumns_ = 0;
    }
}

}  // namespace cli

namespace cli {

BackgroundProgress::BackgroundProgress(std::ostream& out, bool terminal)
    : terminal_(terminal), display_(out, terminal), writer_([this] { WriteUntilStopped(); }) {}

BackgroundProgress::~BackgroundProgress() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
        changed_.notify_all();
    }
    writer_.join();
}

void BackgroundProgress::Show(std::string utf8) {
    const std::lock_guard lock(mutex_);
    if (terminal_ && !waiting_.empty() && waiting_.back()) waiting_.pop_back();  // never seen anyway
    waiting_.emplace_back(std::move(utf8));
    changed_.notify_all();
}

void BackgroundProgress::Clear() {
    std::unique_lock lock(mutex_);
    waiting_.emplace_back(std::nullopt);
    changed_.notify_all();
    changed_.wait(lock, [this] { return waiting_.empty() && !writing_; });
}

void BackgroundProgress::WriteUntilStopped() {
    std::unique_lock lock(mutex_);
    for (;;) {
        // Once stopped, what is still waiting is written before the thread ends.
        changed_.wait(lock, [this] { return !waiting_.empty() || stopping_; });
        if (waiting_.empty()) return;
        const std::optional<std::string> next = std::move(waiting_.front());
        waiting_.pop_front();
        writing_ = true;
        lock.unlock();
        if (next) {
            display_.Show(*next);
        } else {
            display_.Clear();
        }
        lock.lock();
        writing_ = false;
        changed_.notify_all();
    }
}

}  // namespace cli
