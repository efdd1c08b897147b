#include "discovery/cuda_status_dialog.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "core/utf8.h"

namespace {

using ::testing::ElementsAre;

CudaComponentsState State(DriverStatus driver, bool cublasMissing) {
    CudaComponentsState state;
    state.requiredVersion = kRequiredCudaVersion;
    state.driverVersion = 13000;
    state.runtimeVersion = 13000;
    state.deviceCount = 1;
    state.driverStatus = driver;
    state.cublasMissing = cublasMissing;
    if (!cublasMissing) {
        state.cublasMajor = 13, state.cublasMinor = 1, state.cublasPatch = 0;
    }
    return state;
}

std::vector<int> Ids(const CudaStatusDialog& dialog) {
    std::vector<int> ids;
    for (const auto& button : dialog.buttons) {
        ids.push_back(button.id);
    }
    return ids;
}

TEST(CudaStatusDialog, WorkedExampleEnglish) {
    const CudaStatusDialog dialog = BuildCudaStatusDialog(State(DriverStatus::Installed, true), Language::English);
    EXPECT_EQ(dialog.title, L"Mivaro");
    EXPECT_EQ(dialog.icon, CudaDialogIcon::Warning);
    EXPECT_EQ(dialog.mainInstruction, L"The benchmark needs CUDA components");
    EXPECT_EQ(dialog.content,
              L"NVIDIA driver: installed\n"
              L"CUDA Runtime: 13.0\n"
              L"cuBLAS: unavailable\n"
              L"CUDA supported by driver: 13.0\n"
              L"\n"
              L"Download CUDA Toolkit 13.5 for Windows x64. For a custom installation, select the cuBLAS library.\n"
              L"\n"
              L"Restart the program after installation.");
    EXPECT_THAT(dialog.buttons, ElementsAre(CudaDialogButton{101, L"Download CUDA Toolkit"},
                                            CudaDialogButton{2, L"Close"}));
    EXPECT_EQ(dialog.defaultButton, 2);
}

TEST(CudaStatusDialog, WorkedExampleRussian) {
    const CudaStatusDialog dialog = BuildCudaStatusDialog(State(DriverStatus::Installed, true), Language::Russian);
    EXPECT_EQ(dialog.mainInstruction, L"Для теста нужны компоненты CUDA");
    EXPECT_EQ(dialog.content,
              L"Драйвер NVIDIA: установлен\n"
              L"CUDA Runtime: 13.0\n"
              L"cuBLAS: недоступно\n"
              L"Поддержка CUDA драйвером: 13.0\n"
              L"\n"
              L"Загрузите CUDA Toolkit версии 13.5 для Windows x64. При выборочной установке выберите библиотеку cuBLAS.\n"
              L"\n"
              L"После установки снова запустите программу.");
    EXPECT_THAT(dialog.buttons, ElementsAre(CudaDialogButton{101, L"Загрузить CUDA Toolkit"},
                                            CudaDialogButton{2, L"Закрыть"}));
}

TEST(CudaStatusDialog, UsableWithDevices) {
    const CudaStatusDialog dialog = BuildCudaStatusDialog(State(DriverStatus::Installed, false), Language::English);
    EXPECT_EQ(dialog.icon, CudaDialogIcon::Information);
    EXPECT_EQ(dialog.mainInstruction, L"CUDA status");
    EXPECT_EQ(dialog.content,
              L"NVIDIA driver: installed\nCUDA Runtime: 13.0\ncuBLAS: 13.1.0\nCUDA supported by driver: 13.0");
    EXPECT_THAT(Ids(dialog), ElementsAre(2));
    EXPECT_EQ(BuildCudaStatusDialog(State(DriverStatus::Installed, false), Language::Russian).mainInstruction,
              L"Проверка CUDA");
}

TEST(CudaStatusDialog, UsableWithoutDevicesOrWithAnError) {
    CudaComponentsState none = State(DriverStatus::Installed, false);
    none.deviceCount = 0;
    EXPECT_THAT(BuildCudaStatusDialog(none, Language::English).content, ::testing::EndsWith(L"13.0\n\nNo CUDA devices found."));
    EXPECT_THAT(BuildCudaStatusDialog(none, Language::Russian).content,
                ::testing::EndsWith(L"13.0\n\nУстройства CUDA не найдены."));

    CudaComponentsState failed = none;
    failed.errorText = "unknown error";
    EXPECT_THAT(BuildCudaStatusDialog(failed, Language::English).content,
                ::testing::EndsWith(L"CUDA supported by driver: 13.0\n\nunknown error"));
}

TEST(CudaStatusDialog, DriverNeedsUpdateAndCublasMissing) {
    CudaComponentsState state = State(DriverStatus::NeedsUpdate, true);
    state.runtimeVersion = 0;
    state.driverVersion = 0;
    const CudaStatusDialog dialog = BuildCudaStatusDialog(state, Language::English);
    EXPECT_EQ(dialog.content,
              L"NVIDIA driver: update or reinstall required\n"
              L"CUDA Runtime: unavailable\n"
              L"cuBLAS: unavailable\n"
              L"CUDA supported by driver: unavailable\n\n"
              L"Install a compatible NVIDIA driver with CUDA support for your graphics card.\n\n"
              L"Download CUDA Toolkit 13.5 for Windows x64. For a custom installation, select the cuBLAS library.\n\n"
              L"Restart the program after installation.");
    EXPECT_THAT(dialog.buttons,
                ElementsAre(CudaDialogButton{100, L"Download NVIDIA driver"},
                            CudaDialogButton{101, L"Download CUDA Toolkit"}, CudaDialogButton{2, L"Close"}));
    const CudaStatusDialog russian = BuildCudaStatusDialog(state, Language::Russian);
    EXPECT_THAT(russian.content, ::testing::StartsWith(L"Драйвер NVIDIA: требуется обновление или переустановка\n"
                                                       L"CUDA Runtime: недоступно\n"));
    EXPECT_THAT(russian.content,
                ::testing::HasSubstr(L"\n\nУстановите совместимый драйвер NVIDIA с поддержкой CUDA для своей видеокарты."));
    EXPECT_EQ(russian.buttons[0].text, L"Загрузить драйвер NVIDIA");
}

TEST(CudaStatusDialog, LinuxAdviceNamesTheDistributionTheWheelAndWhereEachIsFound) {
    const CudaComponentsState state = State(DriverStatus::NeedsUpdate, true);
    const CudaStatusDialog en = BuildCudaStatusDialog(state, Language::English, CudaAdvice::Linux);
    EXPECT_EQ(en.mainInstruction, L"The benchmark needs CUDA components");
    EXPECT_EQ(en.content,
              L"NVIDIA driver: update or reinstall required\n"
              L"CUDA Runtime: 13.0\n"
              L"cuBLAS: unavailable\n"
              L"CUDA supported by driver: 13.0\n"
              L"\n"
              L"Install NVIDIA's driver, release 580 or newer, for your graphics card: from your distribution's "
              L"packages or from https://www.nvidia.com/en-us/drivers/.\n"
              L"\n"
              L"Install cuBLAS 13 in one of these ways:\n"
              L"- pip install nvidia-cublas in the active Python environment (a virtual environment or conda; outside "
              L"them pip install --user): the library goes to site-packages/nvidia/cu13/lib of that environment;\n"
              L"- the cuBLAS 13 package of your distribution, or libcublas-13-5 from NVIDIA's CUDA repository for it: "
              L"found through the system's library search;\n"
              L"- CUDA Toolkit 13.5 for Linux x86_64: found in /usr/local/cuda-13.5/lib64.\n"
              L"MIVARO_CUBLAS can name the library file or its directory instead.\n"
              L"\n"
              L"Restart the program after installation.");
    EXPECT_THAT(Ids(en), ElementsAre(2));

    const CudaStatusDialog ru = BuildCudaStatusDialog(state, Language::Russian, CudaAdvice::Linux);
    EXPECT_EQ(ru.content.find(L"Windows"), std::wstring::npos);
    for (const wchar_t* part : {L"Установите драйвер NVIDIA версии 580 или новее", L"pip install nvidia-cublas в активном",
                                L"site-packages/nvidia/cu13/lib", L"libcublas-13-5", L"/usr/local/cuda-13.5/lib64.",
                                L"MIVARO_CUBLAS", L"После установки снова запустите программу."}) {
        EXPECT_NE(ru.content.find(part), std::wstring::npos) << WideToUtf8(part);
    }
}

TEST(CudaStatusDialog, DriverNotInstalledCublasPresent) {
    const CudaStatusDialog dialog = BuildCudaStatusDialog(State(DriverStatus::NotInstalled, false), Language::English);
    EXPECT_THAT(Ids(dialog), ElementsAre(100, 2));
    EXPECT_THAT(dialog.content, ::testing::StartsWith(L"NVIDIA driver: not installed for the graphics card\n"));
    EXPECT_THAT(dialog.content, ::testing::Not(::testing::HasSubstr(L"Toolkit")));
    EXPECT_THAT(dialog.content, ::testing::EndsWith(L"\n\nRestart the program after installation."));
    EXPECT_THAT(BuildCudaStatusDialog(State(DriverStatus::NotInstalled, false), Language::Russian).content,
                ::testing::StartsWith(L"Драйвер NVIDIA: не установлен для видеокарты\n"));
}

TEST(CudaStatusDialog, DownloadPages) {
    EXPECT_EQ(CudaDownloadPage(100, kRequiredCudaVersion), L"https://www.nvidia.com/en-us/drivers/");
    EXPECT_EQ(CudaDownloadPage(101, kRequiredCudaVersion),
              L"https://developer.nvidia.com/cuda-13-5-0-download-archive?target_os=Windows&target_arch=x86_64");
    EXPECT_FALSE(CudaDownloadPage(2, kRequiredCudaVersion));
    EXPECT_FALSE(CudaDownloadPage(0, kRequiredCudaVersion));
    EXPECT_EQ(kOpenPageFallbackCaption.en, L"Open the NVIDIA page in a browser");
    EXPECT_EQ(kOpenPageFallbackCaption.ru, L"Откройте страницу NVIDIA в браузере");
}

TEST(CudaStatusDialog, StartupRule) {
    const CudaComponentsState broken = State(DriverStatus::Installed, true);
    GpuTarget ready;
    ready.backend = BackendKind::DirectMl;
    GpuTarget noFp16 = ready;
    noFp16.directMlStatus = DirectMlStatus::NoFp16;
    EXPECT_TRUE(ShouldOpenCudaDialogAtStartup(true, broken, {}));
    EXPECT_TRUE(ShouldOpenCudaDialogAtStartup(true, broken, {noFp16}));
    EXPECT_FALSE(ShouldOpenCudaDialogAtStartup(true, broken, {noFp16, ready}));
    EXPECT_FALSE(ShouldOpenCudaDialogAtStartup(false, broken, {}));
    EXPECT_FALSE(ShouldOpenCudaDialogAtStartup(true, State(DriverStatus::Installed, false), {}));
}

TEST(CudaStatusDialog, ButtonCaption) {
    const CudaButtonState hidden = DecideCudaButton(false, State(DriverStatus::Installed, false));
    EXPECT_FALSE(hidden.visible);
    EXPECT_FALSE(hidden.caption);

    const CudaButtonState usable = DecideCudaButton(true, State(DriverStatus::Installed, false));
    EXPECT_TRUE(usable.visible);
    EXPECT_EQ(usable.caption, L"CUDA 13.0\u2026");

    CudaComponentsState noRuntime = State(DriverStatus::Installed, false);
    noRuntime.runtimeVersion = 0;
    EXPECT_FALSE(DecideCudaButton(true, noRuntime).caption);
    const CudaButtonState broken = DecideCudaButton(true, State(DriverStatus::NeedsUpdate, false));
    EXPECT_TRUE(broken.visible);
    EXPECT_FALSE(broken.caption);
}

}  // namespace
