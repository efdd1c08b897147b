#pragma once
// The keyboard focus across a run. Starting a run disables the run button the user has just
// clicked; a disabled control loses the focus, and a window without a focused control gets its
// keys as system keys that the dialog manager ignores, so Escape and Tab would do nothing. The
// focus is therefore moved to another control first, and given back when the run ends (or, when
// it ended in the background, when the window is next activated) unless the user has moved it in
// the meantime or is working in the control that has it.

#include <optional>

class RunFocus {
public:
    // The focus was moved from `fromControl`, about to be disabled, to `movedTo`.
    void Moved(int fromControl, int movedTo);

    // A move waits to be given back.
    bool Pending() const { return from_ != 0; }

    // With the control that has the focus now (0 for none) and whether the user is working in a
    // control (a drop-down list is open, a button is held): the control to give the focus back
    // to, if any. Forgets the move either way.
    std::optional<int> TakeReturn(int focusedNow, bool userWorking);

private:
    int from_ = 0;
    int to_ = 0;
};
