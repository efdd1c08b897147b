#pragma once
// Turns what discovery found into what the console runner shows: readiness messages,
// the CUDA status dialog's texts in both languages and the component versions.

#include <string>

#include "cli/system.h"
#include "discovery/target_list.h"

namespace cli {

// cublasLibraryPath: the cuBLAS library the detection loaded (UTF-8), empty when none.
DiscoveredSystem Describe(const TargetDiscovery& found, const std::string& cublasLibraryPath);

}  // namespace cli
