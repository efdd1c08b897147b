#include "dml/d3d12_context.h"

#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "core/benchmark.h"

namespace gemm {

std::string HresultErrorText(const char* label, HResult hr) {
    char code[16];
    std::snprintf(code, sizeof code, "%08X", static_cast<unsigned>(static_cast<std::uint32_t>(hr)));
    return std::string(label) + " (0x" + code + ")";
}

void CheckHresult(HResult hr, const char* label) {
    if (hr < 0) throw std::runtime_error(HresultErrorText(label, hr));
}

ComRef CreateDxgiFactory(DmlPlatform& platform) {
    Handle factory = 0;
    const HResult hr = platform.CreateDxgiFactory(&factory);
    ComRef owner(platform, hr >= 0 ? factory : 0);
    CheckHresult(hr, "CreateDXGIFactory1");
    return owner;
}

ComRef CreateBuffer(DmlPlatform& platform, Handle device, std::uint64_t bytes, HeapType heapType,
                    ResourceState initialState) {
    BufferDesc desc;
    desc.heapType = heapType;
    desc.sizeInBytes = bytes;
    desc.flags =
        heapType == HeapType::Default ? ResourceFlags::AllowUnorderedAccess : ResourceFlags::None;
    desc.initialState = initialState;
    Handle buffer = 0;
    const HResult hr = platform.CreateCommittedBuffer(device, desc, &buffer);
    ComRef owner(platform, hr >= 0 ? buffer : 0);
    CheckHresult(hr, "Direct3D 12 buffer allocation");
    return owner;
}

void UploadMatrix(DmlPlatform& platform, Handle uploadBuffer,
                  std::span<const std::uint16_t> matrix, std::uint64_t offset) {
    constexpr std::uint64_t bytes = BenchmarkPlan::bytesPerMatrix;
    // Copying a fixed size out of a shorter matrix would read past its end.
    if (matrix.size() * sizeof(std::uint16_t) != bytes) {
        throw std::logic_error("UploadMatrix needs a whole 8192 x 8192 matrix");
    }
    void* mapped = nullptr;
    CheckHresult(platform.Map(uploadBuffer, ByteRange{0, 0}, &mapped),
                 "Direct3D 12 upload mapping");
    std::memcpy(static_cast<unsigned char*>(mapped) + offset, matrix.data(), bytes);
    platform.Unmap(uploadBuffer, ByteRange{offset, offset + bytes});
}

void ReadBack(DmlPlatform& platform, Handle readbackBuffer, void* destination, std::size_t bytes) {
    void* mapped = nullptr;
    CheckHresult(platform.Map(readbackBuffer, ByteRange{0, bytes}, &mapped),
                 "Direct3D 12 readback mapping");
    std::memcpy(destination, mapped, bytes);
    platform.Unmap(readbackBuffer, ByteRange{0, 0});
}

namespace {

// Wraps a created object in its owner before the code is checked, so nothing leaks.
ComRef Created(DmlPlatform& platform, HResult hr, Handle object, const char* label) {
    ComRef owner(platform, hr >= 0 ? object : 0);
    CheckHresult(hr, label);
    return owner;
}

// The list was submitted but cannot be waited for. A removed device runs nothing more and
// completes every fence, so its objects may be released; otherwise the GPU may still be
// using them, and none may be.
[[noreturn]] void GiveUpWaiting(DmlPlatform& platform, Handle device, const std::string& text) {
    if (platform.GetDeviceRemovedReason(device) >= 0) platform.AbandonObjects();
    throw std::runtime_error(text);
}

}  // namespace

// The event will not tell when the work is done; without an event, SetEventOnCompletion itself
// blocks until the fence reaches the value, after which the objects may be released as usual.
void D3d12Context::WaitWithoutEventAndFail(Handle device, const std::string& text) {
    if (platform_->SetEventOnCompletion(fence.get(), fenceValue, 0) < 0) GiveUpWaiting(*platform_, device, text);
    throw std::runtime_error(text);
}

D3d12Context::D3d12Context(DmlPlatform& platform, Handle device) : platform_(&platform) {
    // The event is made first but only tested once the four objects exist.
    EventHandle newEvent(platform, platform.CreateFenceEvent());
    Handle object = 0;
    HResult hr = platform.CreateCommandQueue(device, &object);
    queue = Created(platform, hr, object, "CreateCommandQueue");
    object = 0;
    hr = platform.CreateCommandAllocator(device, &object);
    allocator = Created(platform, hr, object, "CreateCommandAllocator");
    object = 0;
    hr = platform.CreateCommandList(device, allocator.get(), &object);
    list = Created(platform, hr, object, "CreateCommandList");
    object = 0;
    hr = platform.CreateFence(device, &object);
    fence = Created(platform, hr, object, "CreateFence");
    if (!newEvent) throw std::runtime_error("Could not create the Direct3D 12 fence event");
    event = std::move(newEvent);
}

void D3d12Context::SubmitAndWait(Handle device, Handle commandList) {
    platform_->ExecuteCommandList(queue.get(), commandList);
    ++fenceValue;
    HResult hr = platform_->Signal(queue.get(), fence.get(), fenceValue);
    // Without the signal the fence never reaches the value: there is nothing to wait for.
    if (hr < 0) GiveUpWaiting(*platform_, device, HresultErrorText("Direct3D 12 queue signal", hr));
    hr = platform_->SetEventOnCompletion(fence.get(), fenceValue, event.get());
    if (hr < 0) WaitWithoutEventAndFail(device, HresultErrorText("Direct3D 12 fence completion", hr));
    if (!platform_->WaitForEvent(event.get())) WaitWithoutEventAndFail(device, "Direct3D 12 fence wait failed");
    CheckHresult(platform_->GetDeviceRemovedReason(device), "Direct3D 12 device lost");
}

}  // namespace gemm
