#pragma once
// What the CUDA status dialog says and offers, and when it opens by itself. The window
// shows this model with the platform's task dialog.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/gpu_target.h"
#include "core/text_pair.h"
#include "discovery/cuda_components.h"

inline constexpr int kDownloadDriverButtonId = 100;
inline constexpr int kDownloadToolkitButtonId = 101;
inline constexpr int kCloseButtonId = 2;  // IDCANCEL

enum class CudaDialogIcon { Information, Warning };

struct CudaDialogButton {
    int id = 0;
    std::wstring text;

    friend bool operator==(const CudaDialogButton&, const CudaDialogButton&) = default;
};

struct CudaStatusDialog {
    std::wstring title;
    CudaDialogIcon icon = CudaDialogIcon::Information;
    std::wstring mainInstruction;
    std::wstring content;                  // lines separated by LF
    std::vector<CudaDialogButton> buttons; // in display order; Close always last
    int defaultButton = kCloseButtonId;
};

// Where the advice sends the user for what is missing: the window's Windows downloads, with a
// button for each page; or, for the console runner on Linux, the driver from the distribution
// or NVIDIA and cuBLAS from a Python wheel, a package or the toolkit, each with the place the
// search then finds it (only the Close button: a console has none to press).
enum class CudaAdvice { Windows, Linux };

CudaStatusDialog BuildCudaStatusDialog(const CudaComponentsState& state, Language language,
                                       CudaAdvice advice = CudaAdvice::Windows);

// The page a button opens: NVIDIA's driver download page for 100, the toolkit download
// archive of the required version for 101; nullopt for any other id.
std::optional<std::wstring> CudaDownloadPage(int buttonId, std::int32_t requiredVersion);

// Caption of the message box that shows a page's address when no browser could open it.
extern const TextPair kOpenPageFallbackCaption;

// The dialog opens by itself at start-up when an NVIDIA card exists, CUDA is not usable
// and no listed card is ready.
bool ShouldOpenCudaDialogAtStartup(bool nvidiaPresent, const CudaComponentsState& state,
                                   const std::vector<GpuTarget>& targets);

// The CUDA components button: hidden without an NVIDIA card; "CUDA 13.0…" when CUDA is
// usable with a known runtime; otherwise the control text stays (caption nullopt).
struct CudaButtonState {
    bool visible = false;
    std::optional<std::wstring> caption;
};
CudaButtonState DecideCudaButton(bool nvidiaPresent, const CudaComponentsState& state);
