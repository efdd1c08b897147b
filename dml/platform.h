#pragma once
// The Direct3D 12, DXGI and DirectML calls the DirectML backend makes, behind one interface.
// The product implements it with the real libraries (Windows only); tests implement it with
// a substitute. Platform objects travel as opaque handles; 0 is the null handle.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "core/gpu_target.h"

namespace gemm {

using HResult = std::int32_t;
using Handle = std::uintptr_t;

inline constexpr HResult kDxgiErrorNotFound = static_cast<HResult>(0x887A0002u);

// The values are those of the Direct3D 12 enumerations they stand for.
enum class HeapType : std::int32_t { Default = 1, Upload = 2, Readback = 3 };
enum class ResourceFlags : std::int32_t { None = 0, AllowUnorderedAccess = 4 };
enum class ResourceState : std::int32_t {
    Common = 0,
    UnorderedAccess = 0x8,
    CopyDest = 0x400,
    CopySource = 0x800,
    GenericRead = 0xAC3,
};

struct BufferDesc {
    HeapType heapType = HeapType::Default;
    std::uint64_t sizeInBytes = 0;
    ResourceFlags flags = ResourceFlags::None;
    ResourceState initialState = ResourceState::Common;
};

// A byte range of a mapped subresource; end is exclusive, begin == end means "nothing".
struct ByteRange {
    std::uint64_t begin = 0;
    std::uint64_t end = 0;
};

struct DescriptorHandles {
    std::uint64_t cpu = 0;
    std::uint64_t gpu = 0;
};

// The members of DXGI_ADAPTER_DESC1 the backend reads.
struct AdapterDesc {
    char16_t description[128] = {};
    std::uint32_t vendorId = 0;
    std::uint32_t deviceId = 0;
    std::uint32_t subSysId = 0;
    std::uint64_t dedicatedVideoMemory = 0;
    std::uint64_t dedicatedSystemMemory = 0;
    std::uint64_t sharedSystemMemory = 0;
    AdapterLuid luid;
    std::uint32_t flags = 0;
};
inline constexpr std::uint32_t kAdapterFlagSoftware = 2;

// The values are those of the DirectML enumerations they stand for.
enum class TensorDataType : std::int32_t { Float32 = 1, Float16 = 2 };
enum class MatrixTransform : std::int32_t { None = 0, Transpose = 1 };
enum class BindingType : std::int32_t { None = 0, Buffer = 1 };
inline constexpr std::uint32_t kExecutionFlagNone = 0;

// A packed FP16/FP32 buffer tensor of four dimensions.
struct TensorDesc {
    TensorDataType dataType = TensorDataType::Float16;
    std::uint32_t flags = 0;
    std::uint32_t sizes[4] = {};
    std::uint64_t totalBytes = 0;
    std::uint32_t guaranteedBaseOffsetAlignment = 0;
};

// A GEMM operator without the optional C tensor and without a fused activation.
struct GemmDesc {
    TensorDesc a;
    TensorDesc b;
    TensorDesc output;
    MatrixTransform transA = MatrixTransform::None;
    MatrixTransform transB = MatrixTransform::None;
    float alpha = 1.0f;
    float beta = 0.0f;
};

struct BindingProperties {
    std::uint32_t requiredDescriptorCount = 0;
    std::uint64_t temporaryResourceSize = 0;
    std::uint64_t persistentResourceSize = 0;
};

// One buffer binding; type None binds nothing (the other members are ignored).
struct BufferBinding {
    BindingType type = BindingType::None;
    Handle buffer = 0;
    std::uint64_t offset = 0;
    std::uint64_t sizeInBytes = 0;
};

class DmlPlatform {
public:
    virtual ~DmlPlatform() = default;

    // Library loader. LoadDirectMl gives 0 when the library is missing, FindDmlCreateDevice 0
    // when the export is missing.
    virtual Handle LoadDirectMl() = 0;
    virtual Handle FindDmlCreateDevice(Handle library) = 0;
    virtual void FreeLibrary(Handle library) = 0;

    // Event for fence waits: auto-reset, not signalled, unnamed; 0 when it cannot be made.
    virtual Handle CreateFenceEvent() = 0;
    // True only when the wait (no time limit) ended with the event signalled.
    virtual bool WaitForEvent(Handle event) = 0;
    virtual void CloseEvent(Handle event) = 0;

    // UTF-16 to UTF-8 of exactly these code units (WideCharToMultiByte with CP_UTF8); empty
    // when it cannot convert.
    virtual std::string ToUtf8(std::u16string_view text) = 0;

    // IUnknown::Release of any interface reference handed out below.
    virtual void Release(Handle object) = 0;

    // DXGI.
    virtual HResult CreateDxgiFactory(Handle* factory) = 0;
    virtual HResult EnumAdapters(Handle factory, std::uint32_t index, Handle* adapter) = 0;
    virtual HResult EnumAdapterByLuid(Handle factory, AdapterLuid luid, Handle* adapter) = 0;
    virtual HResult GetAdapterDesc(Handle adapter, AdapterDesc* desc) = 0;

    // Device (minimum feature level 11_0) and its architecture (node 0).
    virtual HResult CreateDevice(Handle adapter, Handle* device) = 0;
    virtual HResult QueryUnifiedMemory(Handle device, bool* uma) = 0;
    virtual HResult CreateCommandQueue(Handle device, Handle* queue) = 0;
    virtual HResult CreateCommandAllocator(Handle device, Handle* allocator) = 0;
    virtual HResult CreateCommandList(Handle device, Handle allocator, Handle* list) = 0;
    virtual HResult CreateFence(Handle device, Handle* fence) = 0;
    virtual HResult CreateCommittedBuffer(Handle device, const BufferDesc& desc,
                                          Handle* buffer) = 0;
    // A shader-visible CBV/SRV/UAV heap.
    virtual HResult CreateDescriptorHeap(Handle device, std::uint32_t descriptors,
                                         Handle* heap) = 0;
    virtual std::uint32_t GetDescriptorIncrement(Handle device) = 0;
    virtual HResult CreateTimestampQueryHeap(Handle device, std::uint32_t queries,
                                             Handle* heap) = 0;
    virtual HResult GetDeviceRemovedReason(Handle device) = 0;

    virtual void ExecuteCommandList(Handle queue, Handle list) = 0;
    virtual HResult Signal(Handle queue, Handle fence, std::uint64_t value) = 0;
    virtual HResult GetTimestampFrequency(Handle queue, std::uint64_t* frequency) = 0;
    // With event 0 the call itself blocks until the fence reaches the value.
    virtual HResult SetEventOnCompletion(Handle fence, std::uint64_t value, Handle event) = 0;
    virtual HResult ResetAllocator(Handle allocator) = 0;

    virtual HResult CloseList(Handle list) = 0;
    virtual HResult ResetList(Handle list, Handle allocator) = 0;
    virtual void SetDescriptorHeap(Handle list, Handle heap) = 0;
    // Barrier over all unordered-access work (no resource).
    virtual void UavBarrier(Handle list) = 0;
    // Transition of all subresources.
    virtual void TransitionBarrier(Handle list, Handle resource, ResourceState before,
                                   ResourceState after) = 0;
    virtual void CopyBufferRegion(Handle list, Handle destination, std::uint64_t destinationOffset,
                                  Handle source, std::uint64_t sourceOffset,
                                  std::uint64_t bytes) = 0;
    virtual void EndTimestampQuery(Handle list, Handle queryHeap, std::uint32_t index) = 0;
    virtual void ResolveTimestamps(Handle list, Handle queryHeap, std::uint32_t first,
                                   std::uint32_t count, Handle destination,
                                   std::uint64_t destinationOffset) = 0;

    // Subresource 0 of a buffer.
    virtual HResult Map(Handle resource, ByteRange read, void** data) = 0;
    virtual void Unmap(Handle resource, ByteRange written) = 0;

    virtual DescriptorHandles GetHeapStart(Handle heap) = 0;

    // DirectML.
    virtual HResult DmlCreateDevice(Handle createDevice, Handle device, Handle* dmlDevice) = 0;
    // Support for FLOAT16 tensors; the call's failure and a "not supported" answer differ.
    virtual HResult CheckFloat16Support(Handle dmlDevice, bool* supported) = 0;
    virtual HResult CreateGemmOperator(Handle dmlDevice, const GemmDesc& desc, Handle* op) = 0;
    virtual HResult CompileOperator(Handle dmlDevice, Handle op, std::uint32_t executionFlags,
                                    Handle* compiled) = 0;
    virtual HResult CreateOperatorInitializer(Handle dmlDevice, Handle compiled,
                                              Handle* initializer) = 0;
    virtual HResult CreateCommandRecorder(Handle dmlDevice, Handle* recorder) = 0;
    virtual HResult CreateBindingTable(Handle dmlDevice, Handle dispatchable,
                                       DescriptorHandles start, std::uint32_t descriptors,
                                       Handle* table) = 0;
    virtual BindingProperties GetBindingProperties(Handle dispatchable) = 0;
    virtual void BindInputs(Handle table, std::span<const BufferBinding> bindings) = 0;
    virtual void BindOutputs(Handle table, std::span<const BufferBinding> bindings) = 0;
    virtual void BindTemporaryResource(Handle table, const BufferBinding& binding) = 0;
    virtual void BindPersistentResource(Handle table, const BufferBinding& binding) = 0;
    virtual void RecordDispatch(Handle recorder, Handle list, Handle dispatchable,
                                Handle table) = 0;

    // Once work was submitted that can no longer be waited for, the GPU may still use any
    // object of the run: from then on the owners below let go of their handles without
    // giving them back (the memory stays taken until the process ends).
    void AbandonObjects() { objectsAbandoned_ = true; }
    bool ObjectsAbandoned() const { return objectsAbandoned_; }

private:
    bool objectsAbandoned_ = false;
};

// Owns one handle of the platform and gives it back exactly once through Free.
template <void (DmlPlatform::*Free)(Handle)>
class Owned {
public:
    Owned() = default;
    Owned(DmlPlatform& platform, Handle handle) : platform_(&platform), handle_(handle) {}
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    Owned(Owned&& other) noexcept
        : platform_(other.platform_), handle_(std::exchange(other.handle_, 0)) {}
    Owned& operator=(Owned&& other) noexcept {
        if (this != &other) {
            Reset();
            platform_ = other.platform_;
            handle_ = std::exchange(other.handle_, 0);
        }
        return *this;
    }
    ~Owned() { Reset(); }

    Handle get() const { return handle_; }
    explicit operator bool() const { return handle_ != 0; }

    void Reset() {
        const Handle handle = std::exchange(handle_, 0);
        if (handle != 0 && !platform_->ObjectsAbandoned()) (platform_->*Free)(handle);
    }

private:
    DmlPlatform* platform_ = nullptr;
    Handle handle_ = 0;
};

using ComRef = Owned<&DmlPlatform::Release>;
using EventHandle = Owned<&DmlPlatform::CloseEvent>;
using LibraryHandle = Owned<&DmlPlatform::FreeLibrary>;

}  // namespace gemm
