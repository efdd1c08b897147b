#pragma once
// Turns what discovery found into what the console runner shows: readiness messages, the
// CUDA components with the advice for this platform, and the component versions.

#include <string>

#include "cli/system.h"
#include "discovery/target_list.h"

namespace cli {

// cublasLibraryPath and cublasLtLibraryPath: the cuBLAS library the detection loaded and the
// cuBLASLt beside it (UTF-8), empty when none.
DiscoveredSystem Describe(const TargetDiscovery& found, const std::string& cublasLibraryPath,
                          const std::string& cublasLtLibraryPath);

}  // namespace cli
