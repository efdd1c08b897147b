// The window with one scripted NVIDIA card whose run returns illustrative figures, for the
// README's screenshots of a finished run (scripts/window-screenshots.sh). No card is measured.
#include <windows.h>

#include <chrono>
#include <thread>

#include "cuda/cuda_version.h"
#include "tests/ui/scripted_services.h"
#include "ui/program.h"

namespace {

// Five series around 6.6 ms, an RTX 4090's order of magnitude; the median is the third.
BenchmarkResult IllustrativeResult() {
    const double milliseconds[] = {6.65, 6.62, 6.60, 6.63, 6.61};
    SeriesTiming series[BenchmarkPlan::seriesCount];
    for (int k = 0; k < BenchmarkPlan::seriesCount; ++k) series[k] = gemm::ToSeriesTiming(milliseconds[k] * 50, 50);
    return gemm::MakeResult(series);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    GpuTarget card;
    card.cudaOrdinal = 0;
    card.name = "NVIDIA GeForce RTX 4090";
    card.dedicatedMemoryBytes = 24ull << 30;
    card.boardVendorId = 0x1043;  // ASUS
    CudaComponentsState cuda;
    cuda.requiredVersion = kRequiredCudaVersion;
    cuda.runtimeVersion = kRequiredCudaVersion;
    cuda.driverVersion = kRequiredCudaVersion;
    cuda.cublasMajor = 13;
    cuda.cublasMinor = 1;
    cuda.deviceCount = 1;
    cuda.driverStatus = DriverStatus::Installed;

    ScriptedServices services;
    services.sources.scanPci = [] { return PciDisplayScan{true, true}; };
    services.sources.detectCuda = [cuda](const PciDisplayScan&) { return cuda; };
    services.sources.enumerateCuda = [card](int) { return std::vector<GpuTarget>{card}; };
    services.sources.findDirectMl = [] { return std::vector<GpuTarget>{}; };
    services.backend = [](std::stop_token, const gemm::ProgressCallback& progress) {
        for (int k = 0; k <= BenchmarkPlan::seriesCount; ++k) {
            progress(k);
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return IllustrativeResult();
    };
    return RunProgram(instance, showCommand, services);
}
