#pragma once
// The start-up sequence of the program in steps, so that the window tests run the same ones.

#include <windows.h>

#include "ui/app.h"

// Process-wide set-up before any window: per-monitor DPI awareness and the common controls.
void InitialiseProcess();

// Creates the main dialog from its template; null when it could not be created or set up.
HWND CreateMainWindow(App& app, HINSTANCE instance);

// COM on the user-interface thread, apartment-threaded as the shell requires, for the
// lifetime of the object.
class ComApartment {
public:
    ComApartment();
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    ~ComApartment();

private:
    bool initialised_;
};

// The message box of a start-up that failed. The half-built window posted a quit message when
// it was destroyed; it is taken off the queue first, or the box would end as soon as it opens.
void ReportStartupFailure();

// Shows the window and, when nothing can be tested without them, explains the CUDA components.
void ShowMainWindow(App& app, int showCommand);

// Runs the message loop until the quit message; 1 when GetMessageW fails.
int RunMessageLoop(HWND dialog);

// The whole program: returns its exit code.
int RunProgram(HINSTANCE instance, int showCommand, PlatformServices& services);
