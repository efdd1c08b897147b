#include "discovery/directml_scope.h"

// The DirectML adapter discovery plugs in here; until it is part of the build, no adapter is
// listed (and there is no DirectML off Windows).
std::vector<GpuTarget> FindDirectMlTargets() { return {}; }
