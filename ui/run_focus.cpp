#include "ui/run_focus.h"

void RunFocus::Moved(int fromControl, int movedTo) {
    from_ = fromControl;
    to_ = movedTo;
}

std::optional<int> RunFocus::TakeReturn(int focusedNow, bool userWorking) {
    const bool untouched = from_ != 0 && focusedNow == to_ && !userWorking;
    const int from = from_;
    from_ = to_ = 0;
    return untouched ? std::optional<int>(from) : std::nullopt;
}
