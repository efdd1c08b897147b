#pragma once
// What the configuration label says and which of the target list and run button accept
// input, for the selected target and the run state.

#include <span>
#include <string>

#include "core/gpu_target.h"
#include "core/text_pair.h"

struct ConfigurationView {
    std::wstring label;
    bool targetListEnabled = false;
    bool runButtonEnabled = false;
};

// A run may start: none is running and the selected target is Ready.
bool RunAllowed(std::span<const GpuTarget> targets, int targetIndex, bool running);

// defaultLabel is the configuration label's own text for the language (control 1011), shown
// for every target that is not an integrated GPU.
ConfigurationView DecideConfiguration(std::span<const GpuTarget> targets, int targetIndex, bool running,
                                      Language language, const std::wstring& defaultLabel);
