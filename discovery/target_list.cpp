#include "discovery/target_list.h"

#include <exception>
#include <iterator>
#include <utility>

#include "core/utf8.h"

namespace {

TextPair Prefixed(const TextPair& prefix, std::string_view utf8) {
    const std::wstring text = Utf8ToWide(utf8);
    return {prefix.ru + text, prefix.en + text};
}

const TextPair kCudaErrorPrefix{L"Ошибка CUDA: ", L"CUDA error: "};
const TextPair kDirectMlErrorPrefix{L"Проверка DirectML: ", L"DirectML detection: "};

}  // namespace

std::optional<TextPair> CudaStatusMessage(bool nvidiaPresent, const CudaComponentsState& state) {
    if (!nvidiaPresent) {
        return TextPair{L"Требуется NVIDIA с CUDA или AMD/Intel с DirectML и FP16.",
                        L"A CUDA-capable NVIDIA GPU or an AMD/Intel GPU with DirectML FP16 support is required."};
    }
    if (state.driverStatus != DriverStatus::Installed) {
        return TextPair{L"Требуется совместимый драйвер NVIDIA с поддержкой CUDA.",
                        L"A compatible NVIDIA driver with CUDA support is required."};
    }
    if (state.cublasMissing) {
        return TextPair{L"Нужны библиотеки CUDA. Подробнее в «Компоненты CUDA».",
                        L"CUDA libraries are required. Open CUDA components for details."};
    }
    if (!state.errorText.empty()) {
        return Prefixed(kCudaErrorPrefix, state.errorText);
    }
    if (state.deviceCount == 0) {
        return TextPair{L"Устройства CUDA не найдены", L"No CUDA devices found"};
    }
    return std::nullopt;
}

TargetDiscovery AssembleTestTargets(const TargetSources& sources) {
    TargetDiscovery discovery;

    try {
        const PciDisplayScan scan = sources.scanPci();
        discovery.nvidiaPresent = scan.nvidiaPresent;
        if (scan.nvidiaPresent) {
            discovery.cudaState = sources.detectCuda(scan);
            const CudaComponentsState& state = discovery.cudaState;
            if (state.deviceCount > 0 && IsCudaUsable(state)) {
                discovery.targets = sources.enumerateCuda(state.deviceCount);
            }
        }
        if (auto message = CudaStatusMessage(discovery.nvidiaPresent, discovery.cudaState)) {
            discovery.status = std::move(message);
        }
    } catch (const std::exception& error) {
        discovery.status = Prefixed(kCudaErrorPrefix, error.what());
    }

    try {
        std::vector<GpuTarget> adapters = sources.findDirectMl();
        discovery.targets.insert(discovery.targets.end(), std::make_move_iterator(adapters.begin()),
                                 std::make_move_iterator(adapters.end()));
    } catch (const std::exception& error) {
        if (discovery.targets.empty() && !discovery.nvidiaPresent) {
            discovery.status = Prefixed(kDirectMlErrorPrefix, error.what());
        }
    }

    discovery.defaultIndex = DefaultTargetIndex(discovery.targets);
    return discovery;
}

std::size_t DefaultTargetIndex(const std::vector<GpuTarget>& targets) {
    for (std::size_t i = 0; i < targets.size(); ++i) {
        if (targets[i].directMlStatus == DirectMlStatus::Ready) {
            return i;
        }
    }
    return 0;
}
