#pragma once
// One graphics card the user can benchmark, as produced by the CUDA enumeration and the
// DirectML adapter discovery.

#include <cstdint>
#include <string>

enum class BackendKind : std::int32_t { Cuda = 0, DirectMl = 1 };

enum class DirectMlStatus : std::int32_t { Ready = 0, NoDirect3D12 = 1, NoDirectMl = 2, NoFp16 = 3 };

// The DXGI adapter LUID in a portable form (Windows' LUID has the same two parts).
struct AdapterLuid {
    std::uint32_t lowPart = 0;
    std::int32_t highPart = 0;

    friend bool operator==(const AdapterLuid&, const AdapterLuid&) = default;
};

struct GpuTarget {
    std::int32_t cudaOrdinal = -1;
    std::string name;  // UTF-8
    std::uint64_t dedicatedMemoryBytes = 0;
    std::uint32_t boardVendorId = 0;  // PCI subsystem vendor (the board's maker), 16 bits
    BackendKind backend = BackendKind::Cuda;
    AdapterLuid adapterLuid;
    std::uint64_t sharedMemoryBytes = 0;
    DirectMlStatus directMlStatus = DirectMlStatus::Ready;
    bool integrated = false;
    // Which physical card a CUDA entry is, whatever CUDA_VISIBLE_DEVICES numbers it: the PCI bus
    // id as the driver reports it ("00000000:01:00.0") and the card's UUID as nvidia-smi
    // writes it ("GPU-" and 32 hexadecimal digits in groups); empty when unknown.
    std::string pciBusId;
    std::string uuid;
};
