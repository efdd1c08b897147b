#pragma once
// The pieces the DirectML run and the adapter discovery stand on: error texts for failed
// calls, the DXGI factory, committed buffers, matrix upload, read-back, and one direct
// queue with a synchronous submit-and-wait that also notices a lost device.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "dml/platform.h"

namespace gemm {

// "label (0xXXXXXXXX)" with the code as an unsigned 32-bit number.
std::string HresultErrorText(const char* label, HResult hr);

// Throws std::runtime_error(HresultErrorText(label, hr)) when hr is a failure code.
void CheckHresult(HResult hr, const char* label);

// The factory, asked for IDXGIFactory4.
ComRef CreateDxgiFactory(DmlPlatform& platform);

// A committed buffer; default-heap buffers allow unordered access.
ComRef CreateBuffer(DmlPlatform& platform, Handle device, std::uint64_t bytes, HeapType heapType,
                    ResourceState initialState);

// Copies one whole 8192 x 8192 FP16 matrix into an upload buffer at the byte offset.
void UploadMatrix(DmlPlatform& platform, Handle uploadBuffer,
                  std::span<const std::uint16_t> matrix, std::uint64_t offset);

// Copies the first `bytes` bytes of a readback buffer to `destination`.
void ReadBack(DmlPlatform& platform, Handle readbackBuffer, void* destination, std::size_t bytes);

// One direct queue, allocator, command list (open after construction) and fence with its
// event. Members are released in reverse order: event, fence, list, allocator, queue.
class D3d12Context {
public:
    D3d12Context(DmlPlatform& platform, Handle device);

    // Executes one closed list and waits for it; fails when the device was lost meanwhile.
    // When the event cannot be armed or the wait on it fails, the work is waited for without
    // the event before the failure is reported. Only when the fence cannot be signalled (or
    // not even that wait is possible) are the platform's objects abandoned, unless the device
    // was removed (see DmlPlatform::AbandonObjects).
    void SubmitAndWait(Handle device, Handle list);

    ComRef queue;
    ComRef allocator;
    ComRef list;
    ComRef fence;
    EventHandle event;
    std::uint64_t fenceValue = 0;

private:
    [[noreturn]] void WaitWithoutEventAndFail(Handle device, const std::string& text);

    DmlPlatform* platform_;
};

}  // namespace gemm
