// The benchmark worker: App::Start on the user-interface thread, the run on its own thread,
// and the two posted messages that bring progress and the outcome back.
#include "dml/directml_run.h"
#include "presentation/run_status.h"
#include "ui/app.h"

void App::Start() {
    const GpuTarget* target = SelectedTarget();
    if (running || target == nullptr || target->directMlStatus != DirectMlStatus::Ready) {
        return;
    }
    running = true;
    hasResult = false;
    status = PreparingStatus();
    UpdateConfigurationLabel();
    UpdateResultTexts();
    try {
        const BackendKind backend = target->backend;
        const int cudaOrdinal = target->cudaOrdinal;
        const AdapterLuid adapterLuid = target->adapterLuid;
        worker = std::jthread([this, backend, cudaOrdinal, adapterLuid](std::stop_token stopToken) {
            RunWorker(std::move(stopToken), backend, cudaOrdinal, adapterLuid);
        });
    } catch (const std::exception& error) {
        running = false;
        status = StartFailedStatus(error.what());
        UpdateConfigurationLabel();
        ReturnFocusAfterRun();
        UpdateResultTexts();
    }
}

// Runs on the worker thread: touches only hwnd (fixed while the window exists), the services
// and App::published under the mutex.
void App::RunWorker(std::stop_token stopToken, BackendKind backend, int cudaOrdinal, AdapterLuid adapterLuid) {
    RunOutcome outcome;
    const HWND window = hwnd;
    const gemm::ProgressCallback progress = [window](int value) {
        PostMessageW(window, WM_APP_PROGRESS, static_cast<WPARAM>(static_cast<INT_PTR>(value)), 0);
    };
    try {
        outcome.result = backend == BackendKind::DirectMl ? services.RunDirectMl(adapterLuid, stopToken, progress)
                                                          : services.RunCuda(cudaOrdinal, stopToken, progress);
        outcome.hasResult = true;
        outcome.status = CompletedStatus();
    } catch (const gemm::Cancelled&) {
        outcome.status = StoppedStatus();
    } catch (const gemm::AdapterNeedsRestart&) {
        outcome.status = gemm::AdapterNeedsRestartMessage();
    } catch (const std::exception& error) {
        outcome.status = BenchmarkErrorStatus(error.what());
    }
    {
        const std::lock_guard lock(outcomeMutex);
        published = outcome;
    }
    PostMessageW(window, WM_APP_FINISHED, 0, 0);
}

void App::OnProgress(WPARAM value) {
    status = ProgressStatus(static_cast<std::uint64_t>(value));
    UpdateResultTexts();
}

void App::OnFinished() {
    if (worker.joinable()) {
        worker.join();
    }
    {
        const std::lock_guard lock(outcomeMutex);
        result = published.result;
        hasResult = published.hasResult;
        status = published.status;
    }
    running = false;
    UpdateConfigurationLabel();
    ReturnFocusAfterRun();
    UpdateResultTexts();
}

void App::OnDestroy() {
    if (worker.joinable()) {
        worker.request_stop();
        worker.join();  // the backend notices the stop at its next check
    }
    PostQuitMessage(0);
}
