#pragma once
// Platform services for the window tests: discovery comes from the real assembly over
// scripted sources, the backend is a script run on the worker thread, and the task dialog
// and the browser record what they were asked to show.

#include <windows.h>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "discovery/target_list.h"
#include "ui/services.h"

// Lets a scripted backend advance one step at a time; a stop request cancels the wait.
class StepGate {
public:
    void Allow(int steps = 1) {
        {
            const std::lock_guard lock(mutex_);
            permits_ += steps;
        }
        changed_.notify_all();
    }
    // Worker side: waits for a permit; throws gemm::Cancelled when a stop is requested first.
    void Pass(std::stop_token stop) {
        std::unique_lock lock(mutex_);
        if (!changed_.wait(lock, stop, [this] { return permits_ > 0; })) {
            stopSeen_ = true;
            throw gemm::Cancelled{};
        }
        --permits_;
    }
    bool StopSeen() {
        const std::lock_guard lock(mutex_);
        return stopSeen_;
    }

private:
    std::mutex mutex_;
    std::condition_variable_any changed_;
    int permits_ = 0;
    bool stopSeen_ = false;
};

struct RecordedTaskDialog {
    bool ownerVisible = false;
    std::wstring title;
    std::wstring mainInstruction;
    std::wstring content;
    bool warningIcon = false;
    std::vector<std::pair<int, std::wstring>> buttons;
    int defaultButton = 0;
    TASKDIALOG_FLAGS flags = 0;
};

struct BackendCall {
    BackendKind backend = BackendKind::Cuda;
    int cudaOrdinal = -1;
    AdapterLuid adapterLuid;
};

class ScriptedServices final : public PlatformServices {
public:
    using Backend = std::function<BenchmarkResult(std::stop_token, const gemm::ProgressCallback&)>;

    TargetSources sources;
    Backend backend;
    int pressedButton = 2;
    bool browserOpens = true;

    std::function<void(HWND owner)> onOpenWebPage;  // runs when the browser is asked to open

    std::vector<RecordedTaskDialog> taskDialogs;
    std::vector<std::wstring> openedPages;

    TargetDiscovery DiscoverTestTargets() override { return AssembleTestTargets(sources); }

    BenchmarkResult RunCuda(int cudaOrdinal, std::stop_token stop, const gemm::ProgressCallback& progress) override {
        Record({BackendKind::Cuda, cudaOrdinal, {}});
        return backend(std::move(stop), progress);
    }
    BenchmarkResult RunDirectMl(AdapterLuid luid, std::stop_token stop, const gemm::ProgressCallback& progress) override {
        Record({BackendKind::DirectMl, -1, luid});
        return backend(std::move(stop), progress);
    }
    HRESULT ShowTaskDialog(const TASKDIALOGCONFIG& config, int* pressed) override {
        RecordedTaskDialog dialog;
        dialog.ownerVisible = IsWindowVisible(config.hwndParent) != FALSE;
        dialog.title = config.pszWindowTitle;
        dialog.mainInstruction = config.pszMainInstruction;
        dialog.content = config.pszContent;
        dialog.warningIcon = config.pszMainIcon == TD_WARNING_ICON;
        for (UINT i = 0; i < config.cButtons; ++i) {
            dialog.buttons.emplace_back(config.pButtons[i].nButtonID, config.pButtons[i].pszButtonText);
        }
        dialog.defaultButton = config.nDefaultButton;
        dialog.flags = config.dwFlags;
        taskDialogs.push_back(std::move(dialog));
        *pressed = pressedButton;
        return S_OK;
    }
    bool OpenWebPage(HWND owner, const std::wstring& address) override {
        openedPages.push_back(address);
        if (onOpenWebPage) onOpenWebPage(owner);
        return browserOpens;
    }

    std::vector<BackendCall> Calls() {
        const std::lock_guard lock(callsMutex_);
        return calls_;
    }

private:
    void Record(const BackendCall& call) {
        const std::lock_guard lock(callsMutex_);
        calls_.push_back(call);
    }
    std::mutex callsMutex_;
    std::vector<BackendCall> calls_;
};
