#pragma once
// What the window needs from the system: the test targets, the two backends, the task
// dialog and the browser. The program wires the real ones; the window tests script them.

#include <windows.h>
#include <commctrl.h>

#include <stop_token>
#include <string>

#include "core/benchmark.h"
#include "core/gpu_target.h"
#include "discovery/target_list.h"

class PlatformServices {
public:
    virtual ~PlatformServices() = default;

    // Runs once, on the user-interface thread, while the window is being set up.
    virtual TargetDiscovery DiscoverTestTargets() = 0;

    // Called on the worker thread; they keep the backend contract (progress, stop, failures).
    virtual BenchmarkResult RunCuda(int cudaOrdinal, std::stop_token stopToken,
                                    const gemm::ProgressCallback& progress) = 0;
    virtual BenchmarkResult RunDirectMl(AdapterLuid adapterLuid, std::stop_token stopToken,
                                        const gemm::ProgressCallback& progress) = 0;

    // TaskDialogIndirect: the HRESULT, and the id of the button that closed the dialog.
    virtual HRESULT ShowTaskDialog(const TASKDIALOGCONFIG& config, int* pressedButton) = 0;

    // Opens an address in the browser; false when that failed.
    virtual bool OpenWebPage(HWND owner, const std::wstring& address) = 0;
};
