#include "discovery/cuda_status_dialog.h"

#include <algorithm>
#include <string>

#include "core/utf8.h"

namespace {

std::wstring Pick(Language language, const TextPair& pair) { return pair.Get(language); }

std::wstring VersionOrUnavailable(std::int32_t version, Language language) {
    return version != 0 ? FormatCudaVersion(version, L'.')
                        : Pick(language, {L"недоступно", L"unavailable"});
}

std::wstring Decimal(std::int32_t value) {
    const std::string digits = std::to_string(value);
    return std::wstring(digits.begin(), digits.end());
}

// The first driver release with CUDA 13, which serves every 13.x.
constexpr std::int32_t kFirstCuda13DriverRelease = 580;

std::wstring LinuxDriverAdvice(Language language) {
    const std::wstring page = *CudaDownloadPage(kDownloadDriverButtonId, kRequiredCudaVersion);
    const std::wstring release = Decimal(kFirstCuda13DriverRelease);
    return Pick(language, {L"\n\nУстановите драйвер NVIDIA версии " + release +
                               L" или новее для своей видеокарты: из пакетов своего дистрибутива или с " + page + L".",
                           L"\n\nInstall NVIDIA's driver, release " + release +
                               L" or newer, for your graphics card: from your distribution's packages or from " +
                               page + L"."});
}

std::wstring LinuxCublasAdvice(std::int32_t requiredVersion, Language language) {
    const std::wstring major = Decimal(requiredVersion / 1000);
    const std::wstring version = FormatCudaVersion(requiredVersion, L'.');
    const std::wstring wheel = L"site-packages/nvidia/cu" + major + L"/lib";
    const std::wstring package = L"libcublas-" + FormatCudaVersion(requiredVersion, L'-');
    const std::wstring toolkit = L"/usr/local/cuda-" + version + L"/lib64";
    return Pick(language,
                {L"\n\nУстановите cuBLAS " + major + L" одним из способов:" +
                     L"\n- pip install nvidia-cublas в активном окружении Python (виртуальном окружении или conda; "
                     L"вне их — pip install --user): библиотека попадёт в " + wheel + L" этого окружения;" +
                     L"\n- пакет cuBLAS " + major + L" своего дистрибутива или " + package +
                     L" из репозитория CUDA от NVIDIA для него: находится системным поиском библиотек;" +
                     L"\n- CUDA Toolkit " + version + L" для Linux x86_64: находится в " + toolkit + L"." +
                     L"\nПеременная MIVARO_CUBLAS может вместо этого указать файл библиотеки или её каталог.",
                 L"\n\nInstall cuBLAS " + major + L" in one of these ways:" +
                     L"\n- pip install nvidia-cublas in the active Python environment (a virtual environment or "
                     L"conda; outside them pip install --user): the library goes to " + wheel +
                     L" of that environment;" +
                     L"\n- the cuBLAS " + major + L" package of your distribution, or " + package +
                     L" from NVIDIA's CUDA repository for it: found through the system's library search;" +
                     L"\n- CUDA Toolkit " + version + L" for Linux x86_64: found in " + toolkit + L"." +
                     L"\nMIVARO_CUBLAS can name the library file or its directory instead."});
}

}  // namespace

const TextPair kOpenPageFallbackCaption{L"Откройте страницу NVIDIA в браузере",
                                        L"Open the NVIDIA page in a browser"};

CudaStatusDialog BuildCudaStatusDialog(const CudaComponentsState& state, Language language, CudaAdvice advice) {
    const bool forLinux = advice == CudaAdvice::Linux;
    const bool usable = IsCudaUsable(state);
    CudaStatusDialog dialog;
    dialog.title = L"Mivaro";
    dialog.icon = usable ? CudaDialogIcon::Information : CudaDialogIcon::Warning;
    dialog.mainInstruction =
        usable ? Pick(language, {L"Проверка CUDA", L"CUDA status"})
               : Pick(language, {L"Для теста нужны компоненты CUDA", L"The benchmark needs CUDA components"});

    std::wstring& content = dialog.content;
    content = Pick(language, {L"Драйвер NVIDIA: ", L"NVIDIA driver: "});
    switch (state.driverStatus) {
        case DriverStatus::Installed:
            content += Pick(language, {L"установлен", L"installed"});
            break;
        case DriverStatus::NeedsUpdate:
            content += Pick(language, {L"требуется обновление или переустановка", L"update or reinstall required"});
            break;
        case DriverStatus::NotInstalled:
        default:
            content += Pick(language, {L"не установлен для видеокарты", L"not installed for the graphics card"});
            break;
    }
    content += L"\nCUDA Runtime: " + VersionOrUnavailable(state.runtimeVersion, language);
    content += L"\ncuBLAS: ";
    content += state.cublasMajor != 0 ? Decimal(state.cublasMajor) + L"." + Decimal(state.cublasMinor) +
                                            L"." + Decimal(state.cublasPatch)
                                      : Pick(language, {L"недоступно", L"unavailable"});
    content += Pick(language, {L"\nПоддержка CUDA драйвером: ", L"\nCUDA supported by driver: "}) +
               VersionOrUnavailable(state.driverVersion, language);
    if (!state.errorText.empty()) {
        content += L"\n\n" + Utf8ToWide(state.errorText);
    }
    if (state.driverStatus != DriverStatus::Installed) {
        content += forLinux ? LinuxDriverAdvice(language)
                         : Pick(language,
                                {L"\n\nУстановите совместимый драйвер NVIDIA с поддержкой CUDA для своей видеокарты.",
                                 L"\n\nInstall a compatible NVIDIA driver with CUDA support for your graphics card."});
    }
    if (state.cublasMissing && forLinux) {
        content += LinuxCublasAdvice(state.requiredVersion, language);
    } else if (state.cublasMissing) {
        content += Pick(language, {L"\n\nЗагрузите CUDA Toolkit версии ", L"\n\nDownload CUDA Toolkit "}) +
                   FormatCudaVersion(state.requiredVersion, L'.') +
                   Pick(language, {L" для Windows x64.", L" for Windows x64."}) +
                   Pick(language, {L" При выборочной установке выберите библиотеку cuBLAS.",
                                   L" For a custom installation, select the cuBLAS library."});
    }
    if (!usable) {
        content += Pick(language,
                        {L"\n\nПосле установки снова запустите программу.", L"\n\nRestart the program after installation."});
    } else if (state.deviceCount == 0 && state.errorText.empty()) {
        content += Pick(language, {L"\n\nУстройства CUDA не найдены.", L"\n\nNo CUDA devices found."});
    }

    if (state.driverStatus != DriverStatus::Installed && !forLinux) {
        dialog.buttons.push_back(
            {kDownloadDriverButtonId, Pick(language, {L"Загрузить драйвер NVIDIA", L"Download NVIDIA driver"})});
    }
    if (state.cublasMissing && !forLinux) {
        dialog.buttons.push_back(
            {kDownloadToolkitButtonId, Pick(language, {L"Загрузить CUDA Toolkit", L"Download CUDA Toolkit"})});
    }
    dialog.buttons.push_back({kCloseButtonId, Pick(language, {L"Закрыть", L"Close"})});
    return dialog;
}

std::optional<std::wstring> CudaDownloadPage(int buttonId, std::int32_t requiredVersion) {
    if (buttonId == kDownloadDriverButtonId) {
        return L"https://www.nvidia.com/en-us/drivers/";
    }
    if (buttonId == kDownloadToolkitButtonId) {
        return L"https://developer.nvidia.com/cuda-" + FormatCudaVersion(requiredVersion, L'-') +
               L"-0-download-archive?target_os=Windows&target_arch=x86_64";
    }
    return std::nullopt;
}

bool ShouldOpenCudaDialogAtStartup(bool nvidiaPresent, const CudaComponentsState& state,
                                   const std::vector<GpuTarget>& targets) {
    return nvidiaPresent && !IsCudaUsable(state) &&
           std::none_of(targets.begin(), targets.end(), [](const GpuTarget& target) {
               return target.directMlStatus == DirectMlStatus::Ready;
           });
}

CudaButtonState DecideCudaButton(bool nvidiaPresent, const CudaComponentsState& state) {
    CudaButtonState button;
    button.visible = nvidiaPresent;
    if (nvidiaPresent && IsCudaUsable(state) && state.runtimeVersion != 0) {
        button.caption = L"CUDA " + FormatCudaVersion(state.runtimeVersion, L'.') + L"\u2026";
    }
    return button;
}
