#pragma once
// Discovery of this machine's test targets, as the window and the console runner start it:
// the PCI scan, the CUDA components detection, the CUDA device enumeration and the DirectML
// adapters, assembled into the test-target list with its status message and default card.
// The cuBLAS library the detection loaded stays loaded, with its cuBLASLt
// (LoadedCublasLibraryPath(), LoadedCublasLtLibraryPath()).

#include "discovery/target_list.h"

TargetDiscovery DiscoverSystemTargets();
