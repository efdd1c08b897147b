#pragma once
// 'mivaro-cli list': the cards discovery found with their readiness, the state of the CUDA
// components with the advice for this platform and where cuBLAS was found (or every place
// tried, and why each was passed over), and the reference rows, in the chosen language.

#include <string>

#include "cli/system.h"

namespace cli {

// UTF-8, several lines; texts from outside are made safe for the terminal.
std::string PrintList(const DiscoveredSystem& system, Language language);

// At least one card can run the benchmark.
bool AnyReady(const DiscoveredSystem& system);

}  // namespace cli
