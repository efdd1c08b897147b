#pragma once
// The CUDA devices as test targets: name, memory, PCI bus id and UUID from the CUDA calls, the
// board's maker (the PCI subsystem vendor) from NVML when it is available. The devices are
// those the driver shows this process, numbered as it numbers them (CUDA_VISIBLE_DEVICES).

#include <string>
#include <vector>

#include "core/gpu_target.h"
#include "cuda/nvidia_api.h"

namespace gemm {

// One entry per ordinal 0 .. deviceCount - 1, through the program's CUDA table and the
// system's NVML. Throws std::runtime_error ("cudaGetDeviceProperties: message") when a
// device's properties cannot be read; NVML problems only leave boardVendorId at 0.
std::vector<GpuTarget> EnumerateCudaDevices(int deviceCount);

// The same over the given tables.
std::vector<GpuTarget> EnumerateCudaDevices(CudaRuntimeApi& cuda, NvmlApi& nvml,
                                            int deviceCount);

// "GPU-1a2b3c4d-..." as nvidia-smi and CUDA_VISIBLE_DEVICES write a card's UUID; empty for the
// all-zero UUID of a card whose identity is unknown.
std::string FormatGpuUuid(const cudaUUID_t& uuid);

}  // namespace gemm
