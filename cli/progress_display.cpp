#include "cli/progress_display.h"

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
