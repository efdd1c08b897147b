#pragma once
// The keyboard focus across a run. Starting a run disables the run button the user has just
// clicked; a disabled control loses the focus, and a window without a focused control gets its
// keys as system keys that the dialog manager ignores, so Escape and Tab would do nothing. The
// focus is therefore moved to another control first, and given back when the run ends unless
// the user has moved it in the meantime.

#include <optional>

class RunFocus {
public:
    // The focus was moved from `fromControl`, about to be disabled, to `movedTo`.
    void Moved(int fromControl, int movedTo);

    // At the end of a run, with the control that has the focus now (0 for none): the control
    // to give the focus back to, if any. Forgets the move either way.
    std::optional<int> TakeReturn(int focusedNow);

private:
    int from_ = 0;
    int to_ = 0;
};
