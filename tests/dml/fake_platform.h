#pragma once
// A substitute for the Direct3D 12, DXGI and DirectML calls. It records every call, every
// object handed out and every release; fails chosen calls; checks the rules the real stack
// imposes (list states, resource states, descriptor ranges, bindings); and computes what the
// backend relies on for real: buffer contents, timestamps from a simulated GPU clock, and the
// product elements that are read back, from the bytes that were uploaded and bound.
// As on Windows, submitted work is done only later: here, while the CPU waits on the fence.
// Until then no object may be released; default-heap buffers return to the common state
// whenever a submission completes, while upload-heap buffers stay in the generic-read state and
// readback-heap buffers in copy-destination for their whole life. An adapter has one device:
// creating it again while it lives hands out the same device, and a removed device, until all
// of its references are released, makes creation fail. A removed device runs nothing more,
// and its fences read as complete.

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dml/platform.h"

class FakePlatform : public gemm::DmlPlatform {
public:
    using Handle = gemm::Handle;
    using HResult = gemm::HResult;

    static constexpr HResult kFail = static_cast<HResult>(0x80004005u);
    static constexpr HResult kInvalidArg = static_cast<HResult>(0x80070057u);
    static constexpr HResult kDeviceRemoved = static_cast<HResult>(0x887A0005u);

    struct Adapter {
        gemm::AdapterDesc desc;
        bool createDeviceFails = false;
        bool umaQueryFails = false;
        bool uma = false;
        bool dmlDeviceFails = false;
        bool fp16QueryFails = false;
        bool fp16Supported = true;
    };

    // An Intel (or other vendor's) hardware adapter with the given LUID and description.
    static Adapter MakeAdapter(std::uint32_t vendor, std::uint32_t luidLow, const char16_t* name);

    FakePlatform();

    // --- Configuration -----------------------------------------------------------------
    std::vector<Adapter> adapters;
    bool libraryPresent = true;
    bool exportPresent = true;
    bool eventFails = false;
    bool waitFails = false;
    // The device of the queue is removed at this submission (1-based, counted over the whole
    // substitute); 0: never.
    int deviceLostAtSubmission = 0;
    gemm::BindingProperties initializerProperties{0, 0, 0};
    gemm::BindingProperties operatorProperties{4, 0, 0};
    std::uint64_t timestampFrequency = 100'000'000;
    std::uint32_t descriptorIncrement = 32;
    // GPU ticks a GEMM dispatch takes, by dispatch number (0-based, warm-up included).
    std::function<std::uint64_t(int)> dispatchTicks = [](int) { return 2'000'000; };
    // Added to every computed product element (to make validation fail).
    float resultError = 0.0f;
    // Called with the name of every call, before it does anything.
    std::function<void(const std::string&)> onCall;

    // Makes the occurrence-th call (0-based) of `call` return hr.
    void Fail(const std::string& call, HResult hr, int occurrence = 0);

    // --- Records ------------------------------------------------------------------------
    std::vector<std::string> calls;   // every call, in order
    std::vector<std::string> errors;  // misuse of the platform
    std::vector<Handle> created;      // objects, events and the library, in order; a device
                                      // handed out again appears again
    std::vector<Handle> released;     // in order
    std::map<Handle, std::string> kinds;
    std::vector<std::uint64_t> signalled;  // fence values
    int gemmDispatches = 0;                // executed GEMM dispatches
    int initializerDispatches = 0;
    std::vector<gemm::BufferDesc> bufferDescs;  // in creation order
    std::vector<Handle> bufferHandles;          // the same buffers' handles
    std::vector<gemm::ByteRange> mapReads;      // read ranges of Map, in order
    std::vector<gemm::ByteRange> unmapWrites;   // written ranges of Unmap, in order
    std::vector<gemm::GemmDesc> operatorDescs;
    std::vector<std::uint32_t> compileFlags;
    std::vector<std::uint32_t> heapSizes;
    struct TableRecord {
        Handle dispatchable = 0;
        gemm::DescriptorHandles start;
        std::uint32_t size = 0;
        std::optional<gemm::BufferBinding> temporary;
        std::optional<gemm::BufferBinding> persistent;
        std::vector<gemm::BufferBinding> inputs;
        std::vector<gemm::BufferBinding> outputs;
        bool inputsBound = false;
        bool outputsBound = false;
    };
    std::map<Handle, TableRecord> tables;
    std::vector<Handle> tableOrder;

    // Objects not released, and whether every release came once and the library went last.
    std::vector<std::string> Leaks() const;
    bool LibraryUnloadedLast() const;
    int Count(const std::string& call) const;
    const std::string& KindOf(Handle handle) const { return kinds.at(handle); }
    std::vector<std::string> ReleasedKinds() const;

    // --- The platform calls -------------------------------------------------------------
    Handle LoadDirectMl() override;
    Handle FindDmlCreateDevice(Handle library) override;
    void FreeLibrary(Handle library) override;
    Handle CreateFenceEvent() override;
    bool WaitForEvent(Handle event) override;
    void CloseEvent(Handle event) override;
    std::string ToUtf8(std::u16string_view text) override;
    void Release(Handle object) override;
    HResult CreateDxgiFactory(Handle* factory) override;
    HResult EnumAdapters(Handle factory, std::uint32_t index, Handle* adapter) override;
    HResult EnumAdapterByLuid(Handle factory, AdapterLuid luid, Handle* adapter) override;
    HResult GetAdapterDesc(Handle adapter, gemm::AdapterDesc* desc) override;
    HResult CreateDevice(Handle adapter, Handle* device) override;
    HResult QueryUnifiedMemory(Handle device, bool* uma) override;
    HResult CreateCommandQueue(Handle device, Handle* queue) override;
    HResult CreateCommandAllocator(Handle device, Handle* allocator) override;
    HResult CreateCommandList(Handle device, Handle allocator, Handle* list) override;
    HResult CreateFence(Handle device, Handle* fence) override;
    HResult CreateCommittedBuffer(Handle device, const gemm::BufferDesc& desc,
                                  Handle* buffer) override;
    HResult CreateDescriptorHeap(Handle device, std::uint32_t descriptors, Handle* heap) override;
    std::uint32_t GetDescriptorIncrement(Handle device) override;
    HResult CreateTimestampQueryHeap(Handle device, std::uint32_t queries, Handle* heap) override;
    HResult GetDeviceRemovedReason(Handle device) override;
    void ExecuteCommandList(Handle queue, Handle list) override;
    HResult Signal(Handle queue, Handle fence, std::uint64_t value) override;
    HResult GetTimestampFrequency(Handle queue, std::uint64_t* frequency) override;
    HResult SetEventOnCompletion(Handle fence, std::uint64_t value, Handle event) override;
    HResult ResetAllocator(Handle allocator) override;
    HResult CloseList(Handle list) override;
    HResult ResetList(Handle list, Handle allocator) override;
    void SetDescriptorHeap(Handle list, Handle heap) override;
    void UavBarrier(Handle list) override;
    void TransitionBarrier(Handle list, Handle resource, gemm::ResourceState before,
                           gemm::ResourceState after) override;
    void CopyBufferRegion(Handle list, Handle destination, std::uint64_t destinationOffset,
                          Handle source, std::uint64_t sourceOffset, std::uint64_t bytes) override;
    void EndTimestampQuery(Handle list, Handle queryHeap, std::uint32_t index) override;
    void ResolveTimestamps(Handle list, Handle queryHeap, std::uint32_t first, std::uint32_t count,
                           Handle destination, std::uint64_t destinationOffset) override;
    HResult Map(Handle resource, gemm::ByteRange read, void** data) override;
    void Unmap(Handle resource, gemm::ByteRange written) override;
    gemm::DescriptorHandles GetHeapStart(Handle heap) override;
    HResult DmlCreateDevice(Handle createDevice, Handle device, Handle* dmlDevice) override;
    HResult CheckFloat16Support(Handle dmlDevice, bool* supported) override;
    HResult CreateGemmOperator(Handle dmlDevice, const gemm::GemmDesc& desc, Handle* op) override;
    HResult CompileOperator(Handle dmlDevice, Handle op, std::uint32_t executionFlags,
                            Handle* compiled) override;
    HResult CreateOperatorInitializer(Handle dmlDevice, Handle compiled,
                                      Handle* initializer) override;
    HResult CreateCommandRecorder(Handle dmlDevice, Handle* recorder) override;
    HResult CreateBindingTable(Handle dmlDevice, Handle dispatchable, gemm::DescriptorHandles start,
                               std::uint32_t descriptors, Handle* table) override;
    gemm::BindingProperties GetBindingProperties(Handle dispatchable) override;
    void BindInputs(Handle table, std::span<const gemm::BufferBinding> bindings) override;
    void BindOutputs(Handle table, std::span<const gemm::BufferBinding> bindings) override;
    void BindTemporaryResource(Handle table, const gemm::BufferBinding& binding) override;
    void BindPersistentResource(Handle table, const gemm::BufferBinding& binding) override;
    void RecordDispatch(Handle recorder, Handle list, Handle dispatchable, Handle table) override;

private:
    struct Write {  // one GEMM dispatch's output block
        std::uint64_t outputOffset, size, aOffset, bOffset;
        Handle a, b;
        gemm::GemmDesc desc;
    };
    struct Buffer {
        gemm::BufferDesc desc;
        gemm::ResourceState state;
        // Contents of host-visible buffers and copy destinations. A whole-buffer copy shares
        // the source's storage (from `base` on) until either side is written again.
        std::shared_ptr<std::vector<unsigned char>> storage;
        std::uint64_t base = 0;
        unsigned char* data() { return storage->data() + base; }
        std::vector<Write> writes;
    };
    struct Command {
        enum Type { SetHeap, Uav, Transition, Copy, Query, Resolve, Dispatch } type;
        Handle a = 0, b = 0, c = 0;
        std::uint64_t x = 0, y = 0, z = 0;
        gemm::ResourceState before{}, after{};
    };
    struct List {
        Handle allocator = 0;
        bool open = true;
        std::vector<Command> commands;
    };
    struct Heap {
        std::uint32_t size;
        gemm::DescriptorHandles start;
    };

    struct Submitted {  // one entry of the queue: a list to run, or a value to signal a fence with
        Handle list;
        Handle fence;
        std::uint64_t signal;
        std::size_t adapter;  // of the queue's device
    };
    struct Device {  // the one device of an adapter, while references to it live
        Handle handle = 0;
        bool removed = false;
    };

    HResult Enter(const std::string& call);
    // Runs the queue's lists and signals in order until the fence reaches the value.
    void RunQueueUntil(Handle fence, std::uint64_t value);
    bool Removed(std::size_t adapter) const;
    bool GpuMayBeBusy() const;
    int References(Handle handle) const;  // handed out and not yet released
    void CheckIdleForRelease(Handle object);
    bool Promote(Buffer& buffer, gemm::ResourceState needed);
    Handle NewObject(const std::string& kind);
    bool Alive(Handle handle, const std::string& kind);
    List* Recording(Handle list);
    void Execute(const Command& command, Handle& heapInUse);
    void ExecuteDispatch(const Command& command, Handle heapInUse);
    std::uint16_t ProductElement(const Buffer& output, std::uint64_t offset);
    // Gives the buffer storage of its own (copying shared contents) before it is written.
    void Own(Buffer& buffer);

    std::map<std::string, int> counts_;
    std::map<std::pair<std::string, int>, HResult> failures_;
    Handle next_ = 0x1000;
    std::map<Handle, std::size_t> adapterOf_;  // adapter and device handles -> adapter index
    std::map<Handle, Buffer> buffers_;
    std::map<Handle, List> lists_;
    std::map<Handle, Heap> heaps_;
    std::map<Handle, std::vector<std::uint64_t>> queryHeaps_;
    std::map<Handle, gemm::GemmDesc> operators_;  // uncompiled and compiled
    std::map<Handle, Handle> initializers_;       // initializer -> compiled operator
    std::map<Handle, bool> events_;  // signalled
    std::map<Handle, std::pair<Handle, std::uint64_t>> armedEvents_;  // event -> fence, value
    std::deque<Submitted> queue_;                 // submitted, not yet done by the GPU
    std::map<Handle, std::uint64_t> fenceValues_; // completed value of each fence
    std::map<std::size_t, Device> devices_;       // by adapter index
    bool deviceLost_ = false;                     // deviceLostAtSubmission has struck
    std::uint64_t clock_ = 1'000'000;
    int submissions_ = 0;
    bool initialized_ = false;
    std::uint64_t nextHeapStart_ = 0x100000;
};
