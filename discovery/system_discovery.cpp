#include "discovery/system_discovery.h"

#include "cuda/cuda_devices.h"
#include "discovery/cuda_components.h"
#include "discovery/directml_scope.h"
#include "discovery/pci_inventory.h"

TargetDiscovery DiscoverSystemTargets() {
    return AssembleTestTargets({
        [] { return ScanPciDisplayAdapters(); },
        [](const PciDisplayScan& scan) { return DetectCudaComponents(scan); },
        [](int deviceCount) { return gemm::EnumerateCudaDevices(deviceCount); },
        [] { return FindDirectMlTargets(); },
    });
}
