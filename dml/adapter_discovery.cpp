#include "dml/adapter_discovery.h"

#include <iterator>
#include <string_view>

#include "dml/d3d12_context.h"

namespace gemm {
namespace {

struct Probe {
    DirectMlStatus status = DirectMlStatus::NoDirect3D12;
    bool integrated = false;
};

Probe ProbeAdapter(DmlPlatform& platform, Handle adapter, Handle createDmlDevice) {
    Probe probe;
    Handle object = 0;
    if (platform.CreateDevice(adapter, &object) < 0) return probe;
    const ComRef device(platform, object);
    bool uma = false;
    probe.integrated = platform.QueryUnifiedMemory(device.get(), &uma) >= 0 && uma;
    probe.status = DirectMlStatus::NoDirectMl;
    if (createDmlDevice == 0) return probe;
    object = 0;
    if (platform.DmlCreateDevice(createDmlDevice, device.get(), &object) < 0) return probe;
    const ComRef dmlDevice(platform, object);
    bool fp16 = false;
    probe.status = platform.CheckFloat16Support(dmlDevice.get(), &fp16) >= 0 && fp16
                       ? DirectMlStatus::Ready
                       : DirectMlStatus::NoFp16;
    return probe;
}

}  // namespace

std::vector<GpuTarget> FindDirectMlAdapters(DmlPlatform& platform) {
    const ComRef factory = CreateDxgiFactory(platform);
    // A missing library or export only makes every adapter NoDirectMl.
    const LibraryHandle library(platform, platform.LoadDirectMl());
    const Handle createDmlDevice = library ? platform.FindDmlCreateDevice(library.get()) : 0;

    std::vector<GpuTarget> targets;
    for (std::uint32_t index = 0;; ++index) {
        Handle object = 0;
        const HResult hr = platform.EnumAdapters(factory.get(), index, &object);
        if (hr == kDxgiErrorNotFound) break;
        const ComRef adapter(platform, hr >= 0 ? object : 0);
        CheckHresult(hr, "EnumAdapters1");

        AdapterDesc desc{};
        CheckHresult(platform.GetAdapterDesc(adapter.get(), &desc), "GetDesc1");
        if ((desc.flags & kAdapterFlagSoftware) != 0) continue;
        if (desc.vendorId != kVendorAmd && desc.vendorId != kVendorIntel) continue;

        GpuTarget target;
        target.cudaOrdinal = -1;
        // The name ends at its first zero, or fills the whole field.
        const std::u16string_view description(desc.description, std::size(desc.description));
        target.name = platform.ToUtf8(description.substr(0, description.find(u'\0')));
        target.dedicatedMemoryBytes = desc.dedicatedVideoMemory;
        target.boardVendorId = desc.subSysId & 0xFFFFu;
        target.backend = BackendKind::DirectMl;
        target.adapterLuid = desc.luid;
        target.sharedMemoryBytes = desc.sharedSystemMemory;
        const Probe probe = ProbeAdapter(platform, adapter.get(), createDmlDevice);
        target.directMlStatus = probe.status;
        target.integrated = probe.integrated;
        targets.push_back(std::move(target));
    }
    return targets;
}

std::optional<TextPair> DirectMlSelectionMessage(DirectMlStatus status) {
    switch (status) {
        case DirectMlStatus::NoDirect3D12:
            return TextPair{L"Установите драйвер видеокарты с поддержкой Direct3D 12.",
                            L"Install a graphics driver with Direct3D 12 support."};
        case DirectMlStatus::NoDirectMl:
            return TextPair{
                L"DirectML недоступен. Проверьте обновления Windows и драйвер видеокарты.",
                L"DirectML is unavailable. Check Windows updates and the graphics driver."};
        case DirectMlStatus::NoFp16:
            return TextPair{L"На этой видеокарте DirectML не поддерживает тензоры FP16.",
                            L"DirectML FP16 tensors are unavailable on this graphics card."};
        case DirectMlStatus::Ready:
            break;
    }
    return std::nullopt;
}

}  // namespace gemm
