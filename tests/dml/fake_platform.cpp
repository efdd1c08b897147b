#include "tests/dml/fake_platform.h"

#include <algorithm>
#include <cstring>

#include "core/input_matrices.h"

using gemm::BindingType;
using gemm::BufferBinding;
using gemm::ByteRange;
using gemm::HeapType;
using gemm::ResourceState;

namespace {

std::string Hex(std::uint64_t value) {
    char text[32];
    std::snprintf(text, sizeof text, "%llx", static_cast<unsigned long long>(value));
    return text;
}

}  // namespace

FakePlatform::Adapter FakePlatform::MakeAdapter(std::uint32_t vendor, std::uint32_t luidLow,
                                                const char16_t* name) {
    Adapter adapter;
    std::size_t i = 0;
    for (; name[i] != 0 && i < 127; ++i) adapter.desc.description[i] = name[i];
    adapter.desc.vendorId = vendor;
    adapter.desc.deviceId = 0x3E9B;
    adapter.desc.subSysId = 0x86941043;  // board maker 0x1043 in the low half
    adapter.desc.dedicatedVideoMemory = 128ull << 20;
    adapter.desc.sharedSystemMemory = 8ull << 30;
    adapter.desc.luid = AdapterLuid{luidLow, 0};
    return adapter;
}

FakePlatform::FakePlatform() {
    Adapter intel = MakeAdapter(0x8086, 0x1111, u"Intel(R) UHD Graphics 630");
    intel.uma = true;
    adapters.push_back(intel);
}

void FakePlatform::Fail(const std::string& call, HResult hr, int occurrence) {
    failures_[{call, occurrence}] = hr;
}

FakePlatform::HResult FakePlatform::Enter(const std::string& call) {
    calls.push_back(call);
    if (onCall) onCall(call);
    const int occurrence = counts_[call]++;
    const auto failure = failures_.find({call, occurrence});
    return failure == failures_.end() ? 0 : failure->second;
}

FakePlatform::Handle FakePlatform::NewObject(const std::string& kind) {
    const Handle handle = next_;
    next_ += 0x10;
    kinds[handle] = kind;
    created.push_back(handle);
    return handle;
}

int FakePlatform::References(Handle handle) const {
    return static_cast<int>(std::count(created.begin(), created.end(), handle) -
                            std::count(released.begin(), released.end(), handle));
}

bool FakePlatform::Alive(Handle handle, const std::string& kind) {
    const auto found = kinds.find(handle);
    if (found == kinds.end() || found->second != kind || References(handle) <= 0) {
        errors.push_back("used " + Hex(handle) + " as a live " + kind);
        return false;
    }
    return true;
}

int FakePlatform::Count(const std::string& call) const {
    const auto found = counts_.find(call);
    return found == counts_.end() ? 0 : found->second;
}

std::vector<std::string> FakePlatform::Leaks() const {
    std::vector<std::string> leaks;
    for (const auto& [handle, kind] : kinds) {
        if (References(handle) != 0) leaks.push_back(kind + " " + Hex(handle));
    }
    return leaks;
}

bool FakePlatform::LibraryUnloadedLast() const {
    return !released.empty() && kinds.at(released.back()) == "library";
}

std::vector<std::string> FakePlatform::ReleasedKinds() const {
    std::vector<std::string> result;
    for (const Handle handle : released) result.push_back(kinds.at(handle));
    return result;
}

// --- Library, events, conversion, release ---------------------------------------------

FakePlatform::Handle FakePlatform::LoadDirectMl() {
    Enter("LoadDirectMl");
    return libraryPresent ? NewObject("library") : 0;
}

FakePlatform::Handle FakePlatform::FindDmlCreateDevice(Handle library) {
    Enter("FindDmlCreateDevice");
    Alive(library, "library");
    return exportPresent ? 0xD31 : 0;
}

void FakePlatform::FreeLibrary(Handle library) {
    Enter("FreeLibrary");
    CheckIdleForRelease(library);
    if (Alive(library, "library")) released.push_back(library);
}

FakePlatform::Handle FakePlatform::CreateFenceEvent() {
    Enter("CreateFenceEvent");
    if (eventFails) return 0;
    const Handle event = NewObject("event");
    events_[event] = false;
    return event;
}

bool FakePlatform::WaitForEvent(Handle event) {
    Enter("WaitForEvent");
    if (!Alive(event, "event")) return false;
    if (waitFails) return false;  // the GPU's work stays where it was
    // The simulated GPU does the queued work while the CPU waits.
    const auto armed = armedEvents_.find(event);
    if (armed != armedEvents_.end()) {
        const auto [fence, value] = armed->second;
        RunQueueUntil(fence, value);
        if (fenceValues_[fence] >= value) {
            events_[event] = true;
            armedEvents_.erase(armed);
        }
    }
    if (!events_[event]) errors.push_back("waited on an event nothing will signal");
    events_[event] = false;  // auto-reset
    return true;
}

void FakePlatform::RunQueueUntil(Handle fence, std::uint64_t value) {
    while (!queue_.empty() && fenceValues_[fence] < value) {
        const Submitted next = queue_.front();
        queue_.pop_front();
        if (next.list == 0) {
            // A removed device's fences read as complete.
            fenceValues_[next.fence] = Removed(next.adapter) ? UINT64_MAX : next.signal;
            continue;
        }
        if (Removed(next.adapter)) continue;  // runs nothing more
        Handle heapInUse = 0;
        for (const Command& command : lists_[next.list].commands) Execute(command, heapInUse);
        // As on Windows, default-heap buffers return to the common state when a submission
        // completes; upload and readback buffers keep the one state they may have.
        for (auto& [handle, buffer] : buffers_) {
            if (buffer.desc.heapType == HeapType::Default) buffer.state = ResourceState::Common;
        }
    }
}

bool FakePlatform::GpuMayBeBusy() const {
    return std::any_of(queue_.begin(), queue_.end(), [&](const Submitted& work) { return !Removed(work.adapter); });
}

bool FakePlatform::Removed(std::size_t adapter) const {
    const auto found = devices_.find(adapter);
    return found != devices_.end() && found->second.removed;
}

void FakePlatform::CheckIdleForRelease(Handle object) {
    if (GpuMayBeBusy()) {
        errors.push_back("released " + kinds[object] + " " + Hex(object) +
                         " while the GPU may still use it");
    }
}

void FakePlatform::CloseEvent(Handle event) {
    Enter("CloseEvent");
    CheckIdleForRelease(event);
    if (Alive(event, "event")) released.push_back(event);
}

std::string FakePlatform::ToUtf8(std::u16string_view text) {
    Enter("ToUtf8");
    std::string result;
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::uint32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            return {};  // a lone surrogate cannot be converted
        }
        if (c < 0x80) {
            result += static_cast<char>(c);
        } else if (c < 0x800) {
            result += static_cast<char>(0xC0 | (c >> 6));
            result += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            result += static_cast<char>(0xE0 | (c >> 12));
            result += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            result += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            result += static_cast<char>(0xF0 | (c >> 18));
            result += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            result += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            result += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return result;
}

void FakePlatform::Release(Handle object) {
    Enter("Release");
    const auto found = kinds.find(object);
    if (found == kinds.end() || found->second == "library" || found->second == "event" || References(object) <= 0) {
        errors.push_back("released " + Hex(object) + " that is not a live object");
        return;
    }
    CheckIdleForRelease(object);
    released.push_back(object);
    if (found->second == "device" && References(object) == 0) {
        // The device is gone; so is whatever it still had queued.
        const std::size_t adapter = adapterOf_[object];
        std::erase_if(queue_, [&](const Submitted& work) { return work.adapter == adapter; });
        devices_.erase(adapter);
    }
}

// --- DXGI and device --------------------------------------------------------------------

FakePlatform::HResult FakePlatform::CreateDxgiFactory(Handle* factory) {
    *factory = 0;
    if (const HResult hr = Enter("CreateDxgiFactory"); hr < 0) return hr;
    *factory = NewObject("factory");
    return 0;
}

FakePlatform::HResult FakePlatform::EnumAdapters(Handle factory, std::uint32_t index,
                                                 Handle* adapter) {
    *adapter = 0;
    if (const HResult hr = Enter("EnumAdapters"); hr < 0) return hr;
    Alive(factory, "factory");
    if (index >= adapters.size()) return gemm::kDxgiErrorNotFound;
    *adapter = NewObject("adapter");
    adapterOf_[*adapter] = index;
    return 0;
}

FakePlatform::HResult FakePlatform::EnumAdapterByLuid(Handle factory, AdapterLuid luid,
                                                      Handle* adapter) {
    *adapter = 0;
    if (const HResult hr = Enter("EnumAdapterByLuid"); hr < 0) return hr;
    Alive(factory, "factory");
    for (std::size_t i = 0; i < adapters.size(); ++i) {
        if (adapters[i].desc.luid == luid) {
            *adapter = NewObject("adapter");
            adapterOf_[*adapter] = i;
            return 0;
        }
    }
    return gemm::kDxgiErrorNotFound;
}

FakePlatform::HResult FakePlatform::GetAdapterDesc(Handle adapter, gemm::AdapterDesc* desc) {
    if (const HResult hr = Enter("GetAdapterDesc"); hr < 0) return hr;
    if (!Alive(adapter, "adapter")) return kFail;
    *desc = adapters[adapterOf_[adapter]].desc;
    return 0;
}

FakePlatform::HResult FakePlatform::CreateDevice(Handle adapter, Handle* device) {
    *device = 0;
    if (const HResult hr = Enter("CreateDevice"); hr < 0) return hr;
    if (!Alive(adapter, "adapter")) return kFail;
    const std::size_t index = adapterOf_[adapter];
    if (adapters[index].createDeviceFails) return kFail;
    if (const auto existing = devices_.find(index); existing != devices_.end()) {
        if (existing->second.removed) return kDeviceRemoved;
        created.push_back(existing->second.handle);  // one more reference to the same device
        *device = existing->second.handle;
        return 0;
    }
    *device = NewObject("device");
    adapterOf_[*device] = index;
    devices_[index] = Device{*device, false};
    return 0;
}

FakePlatform::HResult FakePlatform::QueryUnifiedMemory(Handle device, bool* uma) {
    *uma = false;
    if (const HResult hr = Enter("QueryUnifiedMemory"); hr < 0) return hr;
    if (!Alive(device, "device")) return kFail;
    const Adapter& adapter = adapters[adapterOf_[device]];
    if (adapter.umaQueryFails) return kInvalidArg;
    *uma = adapter.uma;
    return 0;
}

FakePlatform::HResult FakePlatform::CreateCommandQueue(Handle device, Handle* queue) {
    *queue = 0;
    if (const HResult hr = Enter("CreateCommandQueue"); hr < 0) return hr;
    Alive(device, "device");
    *queue = NewObject("queue");
    adapterOf_[*queue] = adapterOf_[device];
    return 0;
}

FakePlatform::HResult FakePlatform::CreateCommandAllocator(Handle device, Handle* allocator) {
    *allocator = 0;
    if (const HResult hr = Enter("CreateCommandAllocator"); hr < 0) return hr;
    Alive(device, "device");
    *allocator = NewObject("allocator");
    return 0;
}

FakePlatform::HResult FakePlatform::CreateCommandList(Handle device, Handle allocator,
                                                      Handle* list) {
    *list = 0;
    if (const HResult hr = Enter("CreateCommandList"); hr < 0) return hr;
    Alive(device, "device");
    Alive(allocator, "allocator");
    for (const auto& [handle, other] : lists_) {
        if (other.allocator == allocator && other.open &&
            std::find(released.begin(), released.end(), handle) == released.end()) {
            errors.push_back("created a list on an allocator another open list records into");
        }
    }
    *list = NewObject("list");
    lists_[*list] = List{allocator, true, {}};
    return 0;
}

FakePlatform::HResult FakePlatform::CreateFence(Handle device, Handle* fence) {
    *fence = 0;
    if (const HResult hr = Enter("CreateFence"); hr < 0) return hr;
    Alive(device, "device");
    *fence = NewObject("fence");
    return 0;
}

FakePlatform::HResult FakePlatform::CreateCommittedBuffer(Handle device,
                                                          const gemm::BufferDesc& desc,
                                                          Handle* buffer) {
    *buffer = 0;
    if (const HResult hr = Enter("CreateCommittedBuffer"); hr < 0) return hr;
    Alive(device, "device");
    bufferDescs.push_back(desc);
    // Buffers on the upload and readback heaps have one state for life, and start in it.
    if ((desc.heapType == HeapType::Upload && desc.initialState != ResourceState::GenericRead) ||
        (desc.heapType == HeapType::Readback && desc.initialState != ResourceState::CopyDest)) {
        errors.push_back("an upload buffer starts in generic read, a readback buffer in copy destination");
        return kInvalidArg;
    }
    *buffer = NewObject("buffer");
    bufferHandles.push_back(*buffer);
    Buffer& made = buffers_[*buffer];
    made.desc = desc;
    made.state = desc.initialState;
    if (desc.heapType != HeapType::Default) Own(made);
    return 0;
}

FakePlatform::HResult FakePlatform::CreateDescriptorHeap(Handle device, std::uint32_t descriptors,
                                                         Handle* heap) {
    *heap = 0;
    if (const HResult hr = Enter("CreateDescriptorHeap"); hr < 0) return hr;
    Alive(device, "device");
    heapSizes.push_back(descriptors);
    *heap = NewObject("descriptor heap");
    heaps_[*heap] = Heap{descriptors, {nextHeapStart_, nextHeapStart_ * 16}};
    nextHeapStart_ += 0x100000;
    return 0;
}

std::uint32_t FakePlatform::GetDescriptorIncrement(Handle device) {
    Enter("GetDescriptorIncrement");
    Alive(device, "device");
    return descriptorIncrement;
}

FakePlatform::HResult FakePlatform::CreateTimestampQueryHeap(Handle device, std::uint32_t queries,
                                                             Handle* heap) {
    *heap = 0;
    if (const HResult hr = Enter("CreateTimestampQueryHeap"); hr < 0) return hr;
    Alive(device, "device");
    *heap = NewObject("query heap");
    queryHeaps_[*heap].assign(queries, 0);
    return 0;
}

FakePlatform::HResult FakePlatform::GetDeviceRemovedReason(Handle device) {
    if (const HResult hr = Enter("GetDeviceRemovedReason"); hr < 0) return hr;
    Alive(device, "device");
    return Removed(adapterOf_[device]) ? kDeviceRemoved : 0;
}

// --- Queue, fence and lists -------------------------------------------------------------

void FakePlatform::ExecuteCommandList(Handle queue, Handle list) {
    Enter("ExecuteCommandList");
    Alive(queue, "queue");
    if (!Alive(list, "list")) return;
    List& executed = lists_[list];
    if (executed.open) {
        errors.push_back("executed a list that is still open");
        return;
    }
    ++submissions_;
    const std::size_t adapter = adapterOf_[queue];
    if (deviceLostAtSubmission != 0 && submissions_ >= deviceLostAtSubmission && !deviceLost_) {
        deviceLost_ = true;
        devices_[adapter].removed = true;
    }
    queue_.push_back({list, 0, 0, adapter});  // done when a wait lets the GPU run
}

FakePlatform::HResult FakePlatform::Signal(Handle queue, Handle fence, std::uint64_t value) {
    if (const HResult hr = Enter("Signal"); hr < 0) return hr;
    Alive(queue, "queue");
    Alive(fence, "fence");
    signalled.push_back(value);
    queue_.push_back({0, fence, value, adapterOf_[queue]});
    return 0;
}

FakePlatform::HResult FakePlatform::GetTimestampFrequency(Handle queue, std::uint64_t* frequency) {
    *frequency = 0;
    if (const HResult hr = Enter("GetTimestampFrequency"); hr < 0) return hr;
    Alive(queue, "queue");
    *frequency = timestampFrequency;
    return 0;
}

FakePlatform::HResult FakePlatform::SetEventOnCompletion(Handle fence, std::uint64_t value,
                                                         Handle event) {
    if (const HResult hr = Enter("SetEventOnCompletion"); hr < 0) return hr;
    Alive(fence, "fence");
    if (event == 0) {
        // No event: the call blocks until the fence reaches the value, the GPU working meanwhile.
        RunQueueUntil(fence, value);
        if (fenceValues_[fence] < value) errors.push_back("waited for a fence value nothing will signal");
        return 0;
    }
    if (!Alive(event, "event")) return 0;
    if (fenceValues_[fence] >= value) {
        events_[event] = true;
    } else {
        armedEvents_[event] = {fence, value};
    }
    return 0;
}

FakePlatform::HResult FakePlatform::ResetAllocator(Handle allocator) {
    if (const HResult hr = Enter("ResetAllocator"); hr < 0) return hr;
    Alive(allocator, "allocator");
    if (GpuMayBeBusy()) errors.push_back("reset an allocator whose lists the GPU may still run");
    for (const auto& [handle, list] : lists_) {
        if (list.allocator == allocator && list.open &&
            std::find(released.begin(), released.end(), handle) == released.end()) {
            errors.push_back("reset an allocator while a list records into it");
        }
    }
    return 0;
}

FakePlatform::HResult FakePlatform::CloseList(Handle list) {
    if (const HResult hr = Enter("CloseList"); hr < 0) return hr;
    if (List* recording = Recording(list)) recording->open = false;
    return 0;
}

FakePlatform::HResult FakePlatform::ResetList(Handle list, Handle allocator) {
    if (const HResult hr = Enter("ResetList"); hr < 0) return hr;
    if (!Alive(list, "list") || !Alive(allocator, "allocator")) return kFail;
    List& reset = lists_[list];
    if (reset.open) errors.push_back("reset a list that is open");
    reset = List{allocator, true, {}};
    return 0;
}

FakePlatform::List* FakePlatform::Recording(Handle list) {
    if (!Alive(list, "list")) return nullptr;
    List& recording = lists_[list];
    if (!recording.open) {
        errors.push_back("recorded into a closed list");
        return nullptr;
    }
    return &recording;
}

void FakePlatform::SetDescriptorHeap(Handle list, Handle heap) {
    Enter("SetDescriptorHeap");
    Alive(heap, "descriptor heap");
    if (List* recording = Recording(list)) recording->commands.push_back({Command::SetHeap, heap});
}

void FakePlatform::UavBarrier(Handle list) {
    Enter("UavBarrier");
    if (List* recording = Recording(list)) recording->commands.push_back({Command::Uav});
}

void FakePlatform::TransitionBarrier(Handle list, Handle resource, ResourceState before,
                                     ResourceState after) {
    Enter("TransitionBarrier");
    Alive(resource, "buffer");
    if (List* recording = Recording(list)) {
        Command command{Command::Transition, resource};
        command.before = before;
        command.after = after;
        recording->commands.push_back(command);
    }
}

void FakePlatform::CopyBufferRegion(Handle list, Handle destination,
                                    std::uint64_t destinationOffset, Handle source,
                                    std::uint64_t sourceOffset, std::uint64_t bytes) {
    Enter("CopyBufferRegion");
    Alive(destination, "buffer");
    Alive(source, "buffer");
    if (List* recording = Recording(list)) {
        recording->commands.push_back(
            {Command::Copy, destination, source, 0, destinationOffset, sourceOffset, bytes});
    }
}

void FakePlatform::EndTimestampQuery(Handle list, Handle queryHeap, std::uint32_t index) {
    Enter("EndTimestampQuery");
    Alive(queryHeap, "query heap");
    if (List* recording = Recording(list)) {
        recording->commands.push_back({Command::Query, queryHeap, 0, 0, index});
    }
}

void FakePlatform::ResolveTimestamps(Handle list, Handle queryHeap, std::uint32_t first,
                                     std::uint32_t count, Handle destination,
                                     std::uint64_t destinationOffset) {
    Enter("ResolveTimestamps");
    Alive(queryHeap, "query heap");
    Alive(destination, "buffer");
    if (List* recording = Recording(list)) {
        recording->commands.push_back(
            {Command::Resolve, queryHeap, destination, 0, first, count, destinationOffset});
    }
}

// --- Execution on the simulated GPU -----------------------------------------------------

void FakePlatform::Own(Buffer& buffer) {
    if (buffer.storage && buffer.storage.use_count() == 1) return;
    auto own = std::make_shared<std::vector<unsigned char>>(buffer.desc.sizeInBytes);
    if (buffer.storage) std::memcpy(own->data(), buffer.data(), buffer.desc.sizeInBytes);
    buffer.storage = std::move(own);
    buffer.base = 0;
}

void FakePlatform::Execute(const Command& command, Handle& heapInUse) {
    switch (command.type) {
        case Command::SetHeap:
            heapInUse = command.a;
            break;
        case Command::Uav:
            break;
        case Command::Transition: {
            Buffer& buffer = buffers_[command.a];
            if (buffer.desc.heapType != HeapType::Default) {
                errors.push_back("transition of " + Hex(command.a) + ", a buffer on the upload or readback heap");
            } else if (buffer.state != command.before) {
                errors.push_back("transition of " + Hex(command.a) + " from state " +
                                 Hex(static_cast<std::uint64_t>(command.before)) +
                                 ", but it is in " +
                                 Hex(static_cast<std::uint64_t>(buffer.state)));
            }
            buffer.state = command.after;
            break;
        }
        case Command::Copy: {
            Buffer& destination = buffers_[command.a];
            Buffer& source = buffers_[command.b];
            const std::uint64_t bytes = command.z;
            if (command.x + bytes > destination.desc.sizeInBytes ||
                command.y + bytes > source.desc.sizeInBytes) {
                errors.push_back("copy outside a buffer");
                break;
            }
            if (!Promote(destination, ResourceState::CopyDest)) {
                errors.push_back("copy into a buffer not in the copy-destination state");
            }
            if (source.state != ResourceState::GenericRead &&
                !Promote(source, ResourceState::CopySource)) {
                errors.push_back("copy from a buffer not in a copy-source state");
            }
            if (!source.writes.empty()) {
                Own(destination);
                for (std::uint64_t i = 0; i + 1 < bytes; i += 2) {
                    const std::uint16_t value = ProductElement(source, command.y + i);
                    std::memcpy(destination.data() + command.x + i, &value, 2);
                }
            } else if (source.storage) {
                if (command.x == 0 && bytes == destination.desc.sizeInBytes) {
                    destination.storage = source.storage;
                    destination.base = source.base + command.y;
                } else {
                    Own(destination);
                    std::memcpy(destination.data() + command.x, source.data() + command.y, bytes);
                }
            }
            break;
        }
        case Command::Query:
            queryHeaps_[command.a].at(command.x) = clock_;
            break;
        case Command::Resolve: {
            Buffer& destination = buffers_[command.b];
            if (destination.desc.heapType != HeapType::Readback ||
                !Promote(destination, ResourceState::CopyDest)) {
                errors.push_back("resolve into a buffer that is not a readback destination");
            }
            const std::vector<std::uint64_t>& values = queryHeaps_[command.a];
            // ResolveQueryData: 8-byte aligned, queries and destination bytes inside their objects.
            if (command.z % 8 != 0 || command.x + command.y > values.size() ||
                command.z + command.y * sizeof(std::uint64_t) > destination.desc.sizeInBytes) {
                errors.push_back("resolve unaligned or outside its query heap or buffer");
                break;
            }
            Own(destination);
            std::memcpy(destination.data() + command.z, values.data() + command.x,
                        command.y * sizeof(std::uint64_t));
            break;
        }
        case Command::Dispatch:
            ExecuteDispatch(command, heapInUse);
            break;
    }
}

bool FakePlatform::Promote(Buffer& buffer, ResourceState needed) {
    // A buffer in the common state is promoted to what its first use needs.
    if (buffer.state == ResourceState::Common) buffer.state = needed;
    return buffer.state == needed;
}

void FakePlatform::ExecuteDispatch(const Command& command, Handle heapInUse) {
    const Handle dispatchable = command.a;
    const TableRecord& table = tables[command.b];
    if (table.dispatchable != dispatchable) errors.push_back("dispatch with another's table");
    const gemm::BindingProperties properties =
        initializers_.count(dispatchable) != 0 ? initializerProperties : operatorProperties;
    // The table's descriptors must lie in the heap set on the list.
    if (heapInUse == 0) {
        errors.push_back("dispatch without a descriptor heap");
    } else {
        const Heap& heap = heaps_[heapInUse];
        const std::uint64_t first = (table.start.cpu - heap.start.cpu) / descriptorIncrement;
        if (table.start.cpu < heap.start.cpu ||
            table.start.gpu - heap.start.gpu != table.start.cpu - heap.start.cpu ||
            first + table.size > heap.size || table.size < properties.requiredDescriptorCount) {
            errors.push_back("binding table outside its descriptor heap");
        }
    }
    if (table.temporary.has_value() != (properties.temporaryResourceSize != 0)) {
        errors.push_back("temporary resource bound where it is not needed or missing");
    }
    const auto checkBinding = [&](const BufferBinding& binding, std::uint64_t minimum) {
        if (binding.type != BindingType::Buffer) return false;
        Buffer& buffer = buffers_[binding.buffer];
        if (binding.offset + binding.sizeInBytes > buffer.desc.sizeInBytes ||
            binding.sizeInBytes < minimum || !Promote(buffer, ResourceState::UnorderedAccess)) {
            errors.push_back("binding outside its buffer, too small, or not in UAV state");
        }
        return true;
    };
    if (table.temporary) checkBinding(*table.temporary, properties.temporaryResourceSize);

    if (initializers_.count(dispatchable) != 0) {
        ++initializerDispatches;
        // No inputs; one output: the persistent buffer, or nothing when there is none.
        if (!table.inputs.empty() || table.persistent || table.outputs.size() != 1) {
            errors.push_back("initializer bindings are not exactly one output");
        } else if (operatorProperties.persistentResourceSize != 0) {
            checkBinding(table.outputs[0], operatorProperties.persistentResourceSize);
            if (table.outputs[0].type != BindingType::Buffer) {
                errors.push_back("initializer output is not the persistent buffer");
            }
        } else if (table.outputs[0].type != BindingType::None) {
            errors.push_back("initializer output bound without a persistent resource");
        }
        initialized_ = true;
        return;
    }

    // A GEMM dispatch.
    if (!initialized_) errors.push_back("operator dispatched before its initializer");
    if (table.persistent.has_value() != (operatorProperties.persistentResourceSize != 0)) {
        errors.push_back("persistent resource bound where it is not needed or missing");
    }
    if (table.persistent)
        checkBinding(*table.persistent, operatorProperties.persistentResourceSize);
    const gemm::GemmDesc& desc = operators_[dispatchable];
    if (table.inputs.size() != 3 || table.outputs.size() != 1 ||
        table.inputs[2].type != BindingType::None) {
        errors.push_back("GEMM bindings are not A, B, none and one output");
        return;
    }
    if (!checkBinding(table.inputs[0], desc.a.totalBytes) ||
        !checkBinding(table.inputs[1], desc.b.totalBytes) ||
        !checkBinding(table.outputs[0], desc.output.totalBytes)) {
        errors.push_back("GEMM tensor without a buffer");
        return;
    }
    Buffer& output = buffers_[table.outputs[0].buffer];
    output.writes.push_back(Write{table.outputs[0].offset, desc.output.totalBytes, table.inputs[0].offset,
                                  table.inputs[1].offset, table.inputs[0].buffer, table.inputs[1].buffer, desc});
    clock_ += dispatchTicks(gemmDispatches);
    ++gemmDispatches;
}

std::uint16_t FakePlatform::ProductElement(const Buffer& output, std::uint64_t offset) {
    // The last dispatch that wrote this element decides it.
    for (auto write = output.writes.rbegin(); write != output.writes.rend(); ++write) {
        if (offset < write->outputOffset || offset >= write->outputOffset + write->size) continue;
        // Packed row-major tensors: a row is as long as the last dimension. A transposed operand
        // is read with its two dimensions swapped: its stored rows are the product's columns.
        const gemm::GemmDesc& desc = write->desc;
        const bool transA = desc.transA == gemm::MatrixTransform::Transpose;
        const bool transB = desc.transB == gemm::MatrixTransform::Transpose;
        const std::uint64_t outputRowBytes = 2ull * desc.output.sizes[3];
        const std::uint64_t aRowBytes = 2ull * desc.a.sizes[3];
        const std::uint64_t bRowBytes = 2ull * desc.b.sizes[3];
        const std::uint64_t inner = desc.a.sizes[transA ? 2 : 3];
        const std::uint64_t local = offset - write->outputOffset;
        const std::uint64_t row = local / outputRowBytes;
        const std::uint64_t col = (local % outputRowBytes) / 2;
        const Buffer& a = buffers_[write->a];
        const Buffer& b = buffers_[write->b];
        if (!a.storage || !b.storage) return 0;
        float sum = 0.0f;
        for (std::uint64_t k = 0; k < inner; ++k) {
            const std::uint64_t aAt = transA ? k * aRowBytes + 2 * row : row * aRowBytes + 2 * k;
            const std::uint64_t bAt = transB ? col * bRowBytes + 2 * k : k * bRowBytes + 2 * col;
            std::uint16_t x = 0;
            std::uint16_t y = 0;
            std::memcpy(&x, a.storage->data() + a.base + write->aOffset + aAt, 2);
            std::memcpy(&y, b.storage->data() + b.base + write->bOffset + bAt, 2);
            sum += gemm::HalfToFloat(x) * gemm::HalfToFloat(y);
        }
        return gemm::FloatToHalf(sum + resultError);
    }
    errors.push_back("read a product element no dispatch wrote");
    return 0x7E00;
}

// --- Mapping and descriptor heaps -----------------------------------------------------

FakePlatform::HResult FakePlatform::Map(Handle resource, ByteRange read, void** data) {
    *data = nullptr;
    if (const HResult hr = Enter("Map"); hr < 0) return hr;
    if (!Alive(resource, "buffer")) return kFail;
    mapReads.push_back(read);
    Buffer& buffer = buffers_[resource];
    if (buffer.desc.heapType == HeapType::Default) {
        errors.push_back("mapped a default-heap buffer");
        return kInvalidArg;
    }
    if (read.end > buffer.desc.sizeInBytes || read.begin > read.end) {
        errors.push_back("map read range outside the buffer");
    }
    Own(buffer);  // the caller may write
    *data = buffer.data();
    return 0;
}

void FakePlatform::Unmap(Handle resource, ByteRange written) {
    Enter("Unmap");
    Alive(resource, "buffer");
    unmapWrites.push_back(written);
}

gemm::DescriptorHandles FakePlatform::GetHeapStart(Handle heap) {
    Enter("GetHeapStart");
    Alive(heap, "descriptor heap");
    return heaps_[heap].start;
}

// --- DirectML ---------------------------------------------------------------------------

FakePlatform::HResult FakePlatform::DmlCreateDevice(Handle createDevice, Handle device,
                                                    Handle* dmlDevice) {
    *dmlDevice = 0;
    if (const HResult hr = Enter("DmlCreateDevice"); hr < 0) return hr;
    if (createDevice != 0xD31) errors.push_back("called DMLCreateDevice through a wrong address");
    if (!Alive(device, "device")) return kFail;
    const std::size_t index = adapterOf_[device];
    if (adapters[index].dmlDeviceFails) return kFail;
    *dmlDevice = NewObject("DirectML device");
    adapterOf_[*dmlDevice] = index;
    return 0;
}

FakePlatform::HResult FakePlatform::CheckFloat16Support(Handle dmlDevice, bool* supported) {
    *supported = false;
    if (const HResult hr = Enter("CheckFloat16Support"); hr < 0) return hr;
    if (!Alive(dmlDevice, "DirectML device")) return kFail;
    const Adapter& adapter = adapters[adapterOf_[dmlDevice]];
    if (adapter.fp16QueryFails) return kInvalidArg;
    *supported = adapter.fp16Supported;
    return 0;
}

FakePlatform::HResult FakePlatform::CreateGemmOperator(Handle dmlDevice, const gemm::GemmDesc& desc,
                                                       Handle* op) {
    *op = 0;
    if (const HResult hr = Enter("CreateGemmOperator"); hr < 0) return hr;
    Alive(dmlDevice, "DirectML device");
    operatorDescs.push_back(desc);
    // The inner dimensions must agree and the sizes must describe packed tensors.
    const auto packed = [](const gemm::TensorDesc& t) {
        return t.totalBytes == std::uint64_t{t.sizes[0]} * t.sizes[1] * t.sizes[2] * t.sizes[3] * 2;
    };
    // The product is M x K times K x N, each factor read transposed when its flag says so.
    const bool transA = desc.transA == gemm::MatrixTransform::Transpose;
    const bool transB = desc.transB == gemm::MatrixTransform::Transpose;
    const std::uint32_t m = desc.a.sizes[transA ? 3 : 2];
    const std::uint32_t k = desc.a.sizes[transA ? 2 : 3];
    const std::uint32_t kOfB = desc.b.sizes[transB ? 3 : 2];
    const std::uint32_t n = desc.b.sizes[transB ? 2 : 3];
    if (k != kOfB || desc.output.sizes[2] != m || desc.output.sizes[3] != n || !packed(desc.a) ||
        !packed(desc.b) || !packed(desc.output)) {
        return kInvalidArg;
    }
    *op = NewObject("operator");
    operators_[*op] = desc;
    return 0;
}

FakePlatform::HResult FakePlatform::CompileOperator(Handle dmlDevice, Handle op,
                                                    std::uint32_t executionFlags,
                                                    Handle* compiled) {
    *compiled = 0;
    if (const HResult hr = Enter("CompileOperator"); hr < 0) return hr;
    Alive(dmlDevice, "DirectML device");
    if (!Alive(op, "operator")) return kFail;
    compileFlags.push_back(executionFlags);
    *compiled = NewObject("compiled operator");
    operators_[*compiled] = operators_[op];
    return 0;
}

FakePlatform::HResult FakePlatform::CreateOperatorInitializer(Handle dmlDevice, Handle compiled,
                                                              Handle* initializer) {
    *initializer = 0;
    if (const HResult hr = Enter("CreateOperatorInitializer"); hr < 0) return hr;
    Alive(dmlDevice, "DirectML device");
    Alive(compiled, "compiled operator");
    *initializer = NewObject("initializer");
    initializers_[*initializer] = compiled;
    return 0;
}

FakePlatform::HResult FakePlatform::CreateCommandRecorder(Handle dmlDevice, Handle* recorder) {
    *recorder = 0;
    if (const HResult hr = Enter("CreateCommandRecorder"); hr < 0) return hr;
    Alive(dmlDevice, "DirectML device");
    *recorder = NewObject("recorder");
    return 0;
}

FakePlatform::HResult FakePlatform::CreateBindingTable(Handle dmlDevice, Handle dispatchable,
                                                       gemm::DescriptorHandles start,
                                                       std::uint32_t descriptors, Handle* table) {
    *table = 0;
    if (const HResult hr = Enter("CreateBindingTable"); hr < 0) return hr;
    Alive(dmlDevice, "DirectML device");
    *table = NewObject("binding table");
    TableRecord& record = tables[*table];
    record.dispatchable = dispatchable;
    record.start = start;
    record.size = descriptors;
    tableOrder.push_back(*table);
    return 0;
}

gemm::BindingProperties FakePlatform::GetBindingProperties(Handle dispatchable) {
    Enter("GetBindingProperties");
    if (initializers_.count(dispatchable) != 0) return initializerProperties;
    Alive(dispatchable, "compiled operator");
    return operatorProperties;
}

void FakePlatform::BindInputs(Handle table, std::span<const BufferBinding> bindings) {
    Enter("BindInputs");
    if (!Alive(table, "binding table")) return;
    tables[table].inputs.assign(bindings.begin(), bindings.end());
    tables[table].inputsBound = true;
}

void FakePlatform::BindOutputs(Handle table, std::span<const BufferBinding> bindings) {
    Enter("BindOutputs");
    if (!Alive(table, "binding table")) return;
    tables[table].outputs.assign(bindings.begin(), bindings.end());
    tables[table].outputsBound = true;
}

void FakePlatform::BindTemporaryResource(Handle table, const BufferBinding& binding) {
    Enter("BindTemporaryResource");
    if (Alive(table, "binding table")) tables[table].temporary = binding;
}

void FakePlatform::BindPersistentResource(Handle table, const BufferBinding& binding) {
    Enter("BindPersistentResource");
    if (Alive(table, "binding table")) tables[table].persistent = binding;
}

void FakePlatform::RecordDispatch(Handle recorder, Handle list, Handle dispatchable, Handle table) {
    Enter("RecordDispatch");
    Alive(recorder, "recorder");
    Alive(table, "binding table");
    if (List* recording = Recording(list)) {
        recording->commands.push_back({Command::Dispatch, dispatchable, table});
    }
}
