#pragma once
// Assembly of the list of cards the user can benchmark: the CUDA devices first, then the
// AMD and Intel adapters of DirectML, and the status-line message that explains why NVIDIA
// cards are missing.

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

#include "core/gpu_target.h"
#include "core/text_pair.h"
#include "discovery/cuda_components.h"
#include "discovery/pci_inventory.h"

// The platform pieces the assembly runs.
struct TargetSources {
    std::function<PciDisplayScan()> scanPci;
    std::function<CudaComponentsState(const PciDisplayScan&)> detectCuda;
    std::function<std::vector<GpuTarget>(int deviceCount)> enumerateCuda;
    std::function<std::vector<GpuTarget>()> findDirectMl;
};

struct TargetDiscovery {
    std::vector<GpuTarget> targets;
    bool nvidiaPresent = false;
    CudaComponentsState cudaState;       // all zero when no NVIDIA display adapter was found
    std::optional<TextPair> status;      // the status line to show, when discovery sets one
    std::size_t defaultIndex = 0;        // the card selected at start-up
};

// Runs the CUDA scope and then, always, the DirectML scope, each under its own guard for
// std::exception.
TargetDiscovery AssembleTestTargets(const TargetSources& sources);

// The status-line message for a CUDA state; nullopt leaves the status line unchanged.
std::optional<TextPair> CudaStatusMessage(bool nvidiaPresent, const CudaComponentsState& state);

// The first Ready entry; 0 when there is none or the list is empty.
std::size_t DefaultTargetIndex(const std::vector<GpuTarget>& targets);
