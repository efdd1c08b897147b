#include "ui/system_services.h"

#include <shellapi.h>

#include "cuda/cuda_gemm.h"
#include "discovery/system_discovery.h"
#include "dml/win32_platform.h"

TargetDiscovery SystemServices::DiscoverTestTargets() { return DiscoverSystemTargets(); }

BenchmarkResult SystemServices::RunCuda(int cudaOrdinal, std::stop_token stopToken,
                                        const gemm::ProgressCallback& progress) {
    return gemm::RunCuda(cudaOrdinal, std::move(stopToken), progress);
}

BenchmarkResult SystemServices::RunDirectMl(AdapterLuid adapterLuid, std::stop_token stopToken,
                                            const gemm::ProgressCallback& progress) {
    return gemm::RunDirectMl(adapterLuid, std::move(stopToken), progress);
}

HRESULT SystemServices::ShowTaskDialog(const TASKDIALOGCONFIG& config, int* pressedButton) {
    return TaskDialogIndirect(&config, pressedButton, nullptr, nullptr);
}

bool SystemServices::OpenWebPage(HWND owner, const std::wstring& address) {
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(owner, L"open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    return result > 32;
}
