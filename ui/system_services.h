#pragma once
// The real system behind the window: discovery of this machine, the CUDA and DirectML
// backends, the common-controls task dialog and the shell.

#include "ui/services.h"

class SystemServices final : public PlatformServices {
public:
    TargetDiscovery DiscoverTestTargets() override;
    BenchmarkResult RunCuda(int cudaOrdinal, std::stop_token stopToken,
                            const gemm::ProgressCallback& progress) override;
    BenchmarkResult RunDirectMl(AdapterLuid adapterLuid, std::stop_token stopToken,
                                const gemm::ProgressCallback& progress) override;
    HRESULT ShowTaskDialog(const TASKDIALOGCONFIG& config, int* pressedButton) override;
    bool OpenWebPage(HWND owner, const std::wstring& address) override;
};
