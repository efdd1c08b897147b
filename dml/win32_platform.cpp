#include "dml/win32_platform.h"

// The toolchain's import libraries lack the Direct3D 12 interface ids: define them here.
#include <windows.h>
#include <initguid.h>

#include "dml/directml_api.h"

#include <dxgi1_6.h>

#include <cstring>

#include "core/input_matrices.h"
#include "core/system_library.h"
#include "dml/adapter_discovery.h"
#include "dml/directml_run.h"

namespace gemm {
namespace {

static_assert(sizeof(WCHAR) == sizeof(char16_t));

template <class T>
T* As(Handle handle) {
    return reinterpret_cast<T*>(handle);
}

template <class T>
Handle ToHandle(T* pointer) {
    return reinterpret_cast<Handle>(pointer);
}

// Creates an object through a call that fills a void** and hands it out as a handle.
template <class Call>
HResult Create(Handle* out, Call&& call) {
    void* object = nullptr;
    const HRESULT hr = call(&object);
    *out = SUCCEEDED(hr) ? reinterpret_cast<Handle>(object) : 0;
    return hr;
}

// Direct3D 12 and DXGI are found at run time (core/system_library.h); a system without them
// answers as a missing module would.
constexpr HRESULT kLibraryMissing = HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);

ID3D12CommandList* CommandList(Handle list) { return As<ID3D12GraphicsCommandList>(list); }

DML_BUFFER_TENSOR_DESC BufferTensor(const TensorDesc& desc) {
    return DML_BUFFER_TENSOR_DESC{static_cast<DML_TENSOR_DATA_TYPE>(desc.dataType),
                                  static_cast<DML_TENSOR_FLAGS>(desc.flags),
                                  4,
                                  desc.sizes,
                                  nullptr,
                                  desc.totalBytes,
                                  desc.guaranteedBaseOffsetAlignment};
}

// DirectML binding descriptions with the buffer bindings they point to.
class DmlBindings {
public:
    explicit DmlBindings(std::span<const BufferBinding> bindings)
        : buffers_(bindings.size()), descs_(bindings.size()) {
        for (std::size_t i = 0; i < bindings.size(); ++i) {
            const BufferBinding& binding = bindings[i];
            if (binding.type == BindingType::None) {
                descs_[i] = DML_BINDING_DESC{DML_BINDING_TYPE_NONE, nullptr};
            } else {
                buffers_[i] = DML_BUFFER_BINDING{As<ID3D12Resource>(binding.buffer), binding.offset,
                                                 binding.sizeInBytes};
                descs_[i] = DML_BINDING_DESC{DML_BINDING_TYPE_BUFFER, &buffers_[i]};
            }
        }
    }
    UINT count() const { return static_cast<UINT>(descs_.size()); }
    const DML_BINDING_DESC* data() const { return descs_.data(); }

private:
    std::vector<DML_BUFFER_BINDING> buffers_;
    std::vector<DML_BINDING_DESC> descs_;
};

}  // namespace

std::string ToUtf8(std::wstring_view text) {
    // A length, not a terminator: a driver may fill its whole name field.
    const int units = static_cast<int>(text.size());
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), units, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return {};
    std::string result(static_cast<std::size_t>(size), '\0');
    if (WideCharToMultiByte(CP_UTF8, 0, text.data(), units, result.data(), size, nullptr,
                            nullptr) == 0) {
        return {};
    }
    return result;
}

Handle Win32DmlPlatform::LoadDirectMl() {
    return ToHandle(LoadLibraryExW(L"DirectML.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
}

Handle Win32DmlPlatform::FindDmlCreateDevice(Handle library) {
    return reinterpret_cast<Handle>(GetProcAddress(As<HINSTANCE__>(library), "DMLCreateDevice"));
}

void Win32DmlPlatform::FreeLibrary(Handle library) { ::FreeLibrary(As<HINSTANCE__>(library)); }

Handle Win32DmlPlatform::CreateFenceEvent() {
    return ToHandle(CreateEventW(nullptr, FALSE, FALSE, nullptr));
}

bool Win32DmlPlatform::WaitForEvent(Handle event) {
    return WaitForSingleObject(As<void>(event), INFINITE) == WAIT_OBJECT_0;
}

void Win32DmlPlatform::CloseEvent(Handle event) { CloseHandle(As<void>(event)); }

std::string Win32DmlPlatform::ToUtf8(std::u16string_view text) {
    return gemm::ToUtf8(
        std::wstring_view(reinterpret_cast<const wchar_t*>(text.data()), text.size()));
}

void Win32DmlPlatform::Release(Handle object) { As<IUnknown>(object)->Release(); }

HResult Win32DmlPlatform::CreateDxgiFactory(Handle* factory) {
    static auto* const createFactory =
        system_library::Find<decltype(CreateDXGIFactory1)>(L"dxgi.dll", "CreateDXGIFactory1");
    if (createFactory == nullptr) return kLibraryMissing;
    return Create(factory, [](void** out) { return createFactory(IID_IDXGIFactory4, out); });
}

HResult Win32DmlPlatform::EnumAdapters(Handle factory, std::uint32_t index, Handle* adapter) {
    IDXGIAdapter1* found = nullptr;
    const HRESULT hr = As<IDXGIFactory4>(factory)->EnumAdapters1(index, &found);
    *adapter = SUCCEEDED(hr) ? ToHandle(found) : 0;
    return hr;
}

HResult Win32DmlPlatform::EnumAdapterByLuid(Handle factory, AdapterLuid luid, Handle* adapter) {
    return Create(adapter, [&](void** out) {
        return As<IDXGIFactory4>(factory)->EnumAdapterByLuid(LUID{luid.lowPart, luid.highPart},
                                                             IID_IDXGIAdapter1, out);
    });
}

HResult Win32DmlPlatform::GetAdapterDesc(Handle adapter, AdapterDesc* desc) {
    DXGI_ADAPTER_DESC1 native{};
    const HRESULT hr = As<IDXGIAdapter1>(adapter)->GetDesc1(&native);
    if (FAILED(hr)) return hr;
    std::memcpy(desc->description, native.Description, sizeof desc->description);
    desc->vendorId = native.VendorId;
    desc->deviceId = native.DeviceId;
    desc->subSysId = native.SubSysId;
    desc->dedicatedVideoMemory = native.DedicatedVideoMemory;
    desc->dedicatedSystemMemory = native.DedicatedSystemMemory;
    desc->sharedSystemMemory = native.SharedSystemMemory;
    desc->luid = AdapterLuid{native.AdapterLuid.LowPart, native.AdapterLuid.HighPart};
    desc->flags = native.Flags;
    return hr;
}

HResult Win32DmlPlatform::CreateDevice(Handle adapter, Handle* device) {
    static auto* const createDevice =
        system_library::Find<decltype(D3D12CreateDevice)>(L"d3d12.dll", "D3D12CreateDevice");
    if (createDevice == nullptr) return kLibraryMissing;
    return Create(device, [&](void** out) {
        return createDevice(As<IUnknown>(adapter), D3D_FEATURE_LEVEL_11_0, IID_ID3D12Device, out);
    });
}

HResult Win32DmlPlatform::QueryUnifiedMemory(Handle device, bool* uma) {
    D3D12_FEATURE_DATA_ARCHITECTURE1 data{};
    data.NodeIndex = 0;
    const HRESULT hr = As<ID3D12Device>(device)->CheckFeatureSupport(D3D12_FEATURE_ARCHITECTURE1,
                                                                     &data, sizeof data);
    *uma = SUCCEEDED(hr) && data.UMA != FALSE;
    return hr;
}

HResult Win32DmlPlatform::CreateCommandQueue(Handle device, Handle* queue) {
    D3D12_COMMAND_QUEUE_DESC desc{};
    desc.Type = D3D12_COMMAND_LIST_TYPE_DIRECT;
    desc.Priority = D3D12_COMMAND_QUEUE_PRIORITY_NORMAL;
    desc.Flags = D3D12_COMMAND_QUEUE_FLAG_NONE;
    desc.NodeMask = 0;
    return Create(queue, [&](void** out) {
        return As<ID3D12Device>(device)->CreateCommandQueue(&desc, IID_ID3D12CommandQueue, out);
    });
}

HResult Win32DmlPlatform::CreateCommandAllocator(Handle device, Handle* allocator) {
    return Create(allocator, [&](void** out) {
        return As<ID3D12Device>(device)->CreateCommandAllocator(D3D12_COMMAND_LIST_TYPE_DIRECT,
                                                                IID_ID3D12CommandAllocator, out);
    });
}

HResult Win32DmlPlatform::CreateCommandList(Handle device, Handle allocator, Handle* list) {
    return Create(list, [&](void** out) {
        return As<ID3D12Device>(device)->CreateCommandList(
            0, D3D12_COMMAND_LIST_TYPE_DIRECT, As<ID3D12CommandAllocator>(allocator), nullptr,
            IID_ID3D12GraphicsCommandList, out);
    });
}

HResult Win32DmlPlatform::CreateFence(Handle device, Handle* fence) {
    return Create(fence, [&](void** out) {
        return As<ID3D12Device>(device)->CreateFence(0, D3D12_FENCE_FLAG_NONE, IID_ID3D12Fence,
                                                     out);
    });
}

HResult Win32DmlPlatform::CreateCommittedBuffer(Handle device, const BufferDesc& desc,
                                                Handle* buffer) {
    D3D12_HEAP_PROPERTIES heap{};
    heap.Type = static_cast<D3D12_HEAP_TYPE>(desc.heapType);
    heap.CPUPageProperty = D3D12_CPU_PAGE_PROPERTY_UNKNOWN;
    heap.MemoryPoolPreference = D3D12_MEMORY_POOL_UNKNOWN;
    heap.CreationNodeMask = 1;
    heap.VisibleNodeMask = 1;
    D3D12_RESOURCE_DESC resource{};
    resource.Dimension = D3D12_RESOURCE_DIMENSION_BUFFER;
    resource.Alignment = 0;
    resource.Width = desc.sizeInBytes;
    resource.Height = 1;
    resource.DepthOrArraySize = 1;
    resource.MipLevels = 1;
    resource.Format = DXGI_FORMAT_UNKNOWN;
    resource.SampleDesc = DXGI_SAMPLE_DESC{1, 0};
    resource.Layout = D3D12_TEXTURE_LAYOUT_ROW_MAJOR;
    resource.Flags = static_cast<D3D12_RESOURCE_FLAGS>(desc.flags);
    return Create(buffer, [&](void** out) {
        return As<ID3D12Device>(device)->CreateCommittedResource(
            &heap, D3D12_HEAP_FLAG_NONE, &resource,
            static_cast<D3D12_RESOURCE_STATES>(desc.initialState), nullptr, IID_ID3D12Resource,
            out);
    });
}

HResult Win32DmlPlatform::CreateDescriptorHeap(Handle device, std::uint32_t descriptors,
                                               Handle* heap) {
    D3D12_DESCRIPTOR_HEAP_DESC desc{};
    desc.Type = D3D12_DESCRIPTOR_HEAP_TYPE_CBV_SRV_UAV;
    desc.NumDescriptors = descriptors;
    desc.Flags = D3D12_DESCRIPTOR_HEAP_FLAG_SHADER_VISIBLE;
    desc.NodeMask = 0;
    return Create(heap, [&](void** out) {
        return As<ID3D12Device>(device)->CreateDescriptorHeap(&desc, IID_ID3D12DescriptorHeap, out);
    });
}

std::uint32_t Win32DmlPlatform::GetDescriptorIncrement(Handle device) {
    return As<ID3D12Device>(device)->GetDescriptorHandleIncrementSize(
        D3D12_DESCRIPTOR_HEAP_TYPE_CBV_SRV_UAV);
}

HResult Win32DmlPlatform::CreateTimestampQueryHeap(Handle device, std::uint32_t queries,
                                                   Handle* heap) {
    D3D12_QUERY_HEAP_DESC desc{};
    desc.Type = D3D12_QUERY_HEAP_TYPE_TIMESTAMP;
    desc.Count = queries;
    desc.NodeMask = 0;
    return Create(heap, [&](void** out) {
        return As<ID3D12Device>(device)->CreateQueryHeap(&desc, IID_ID3D12QueryHeap, out);
    });
}

HResult Win32DmlPlatform::GetDeviceRemovedReason(Handle device) {
    return As<ID3D12Device>(device)->GetDeviceRemovedReason();
}

void Win32DmlPlatform::ExecuteCommandList(Handle queue, Handle list) {
    ID3D12CommandList* lists[] = {CommandList(list)};
    As<ID3D12CommandQueue>(queue)->ExecuteCommandLists(1, lists);
}

HResult Win32DmlPlatform::Signal(Handle queue, Handle fence, std::uint64_t value) {
    return As<ID3D12CommandQueue>(queue)->Signal(As<ID3D12Fence>(fence), value);
}

HResult Win32DmlPlatform::GetTimestampFrequency(Handle queue, std::uint64_t* frequency) {
    UINT64 value = 0;
    const HRESULT hr = As<ID3D12CommandQueue>(queue)->GetTimestampFrequency(&value);
    *frequency = value;
    return hr;
}

HResult Win32DmlPlatform::SetEventOnCompletion(Handle fence, std::uint64_t value, Handle event) {
    return As<ID3D12Fence>(fence)->SetEventOnCompletion(value, As<void>(event));
}

HResult Win32DmlPlatform::ResetAllocator(Handle allocator) {
    return As<ID3D12CommandAllocator>(allocator)->Reset();
}

HResult Win32DmlPlatform::CloseList(Handle list) {
    return As<ID3D12GraphicsCommandList>(list)->Close();
}

HResult Win32DmlPlatform::ResetList(Handle list, Handle allocator) {
    return As<ID3D12GraphicsCommandList>(list)->Reset(As<ID3D12CommandAllocator>(allocator),
                                                      nullptr);
}

void Win32DmlPlatform::SetDescriptorHeap(Handle list, Handle heap) {
    ID3D12DescriptorHeap* heaps[] = {As<ID3D12DescriptorHeap>(heap)};
    As<ID3D12GraphicsCommandList>(list)->SetDescriptorHeaps(1, heaps);
}

void Win32DmlPlatform::UavBarrier(Handle list) {
    D3D12_RESOURCE_BARRIER barrier{};
    barrier.Type = D3D12_RESOURCE_BARRIER_TYPE_UAV;
    barrier.Flags = D3D12_RESOURCE_BARRIER_FLAG_NONE;
    barrier.UAV.pResource = nullptr;
    As<ID3D12GraphicsCommandList>(list)->ResourceBarrier(1, &barrier);
}

void Win32DmlPlatform::TransitionBarrier(Handle list, Handle resource, ResourceState before,
                                         ResourceState after) {
    D3D12_RESOURCE_BARRIER barrier{};
    barrier.Type = D3D12_RESOURCE_BARRIER_TYPE_TRANSITION;
    barrier.Flags = D3D12_RESOURCE_BARRIER_FLAG_NONE;
    barrier.Transition.pResource = As<ID3D12Resource>(resource);
    barrier.Transition.Subresource = D3D12_RESOURCE_BARRIER_ALL_SUBRESOURCES;
    barrier.Transition.StateBefore = static_cast<D3D12_RESOURCE_STATES>(before);
    barrier.Transition.StateAfter = static_cast<D3D12_RESOURCE_STATES>(after);
    As<ID3D12GraphicsCommandList>(list)->ResourceBarrier(1, &barrier);
}

void Win32DmlPlatform::CopyBufferRegion(Handle list, Handle destination,
                                        std::uint64_t destinationOffset, Handle source,
                                        std::uint64_t sourceOffset, std::uint64_t bytes) {
    As<ID3D12GraphicsCommandList>(list)->CopyBufferRegion(
        As<ID3D12Resource>(destination), destinationOffset, As<ID3D12Resource>(source),
        sourceOffset, bytes);
}

void Win32DmlPlatform::EndTimestampQuery(Handle list, Handle queryHeap, std::uint32_t index) {
    As<ID3D12GraphicsCommandList>(list)->EndQuery(As<ID3D12QueryHeap>(queryHeap),
                                                  D3D12_QUERY_TYPE_TIMESTAMP, index);
}

void Win32DmlPlatform::ResolveTimestamps(Handle list, Handle queryHeap, std::uint32_t first,
                                         std::uint32_t count, Handle destination,
                                         std::uint64_t destinationOffset) {
    As<ID3D12GraphicsCommandList>(list)->ResolveQueryData(
        As<ID3D12QueryHeap>(queryHeap), D3D12_QUERY_TYPE_TIMESTAMP, first, count,
        As<ID3D12Resource>(destination), destinationOffset);
}

HResult Win32DmlPlatform::Map(Handle resource, ByteRange read, void** data) {
    const D3D12_RANGE range{static_cast<SIZE_T>(read.begin), static_cast<SIZE_T>(read.end)};
    return As<ID3D12Resource>(resource)->Map(0, &range, data);
}

void Win32DmlPlatform::Unmap(Handle resource, ByteRange written) {
    const D3D12_RANGE range{static_cast<SIZE_T>(written.begin), static_cast<SIZE_T>(written.end)};
    As<ID3D12Resource>(resource)->Unmap(0, &range);
}

DescriptorHandles Win32DmlPlatform::GetHeapStart(Handle heap) {
    ID3D12DescriptorHeap* descriptorHeap = As<ID3D12DescriptorHeap>(heap);
    return DescriptorHandles{descriptorHeap->GetCPUDescriptorHandleForHeapStart().ptr,
                             descriptorHeap->GetGPUDescriptorHandleForHeapStart().ptr};
}

HResult Win32DmlPlatform::DmlCreateDevice(Handle createDevice, Handle device, Handle* dmlDevice) {
    const auto create = reinterpret_cast<DmlCreateDeviceFunction>(createDevice);
    return Create(dmlDevice, [&](void** out) {
        return create(As<ID3D12Device>(device), DML_CREATE_DEVICE_FLAG_NONE, kIidDmlDevice, out);
    });
}

HResult Win32DmlPlatform::CheckFloat16Support(Handle dmlDevice, bool* supported) {
    const DML_FEATURE_QUERY_TENSOR_DATA_TYPE_SUPPORT query{DML_TENSOR_DATA_TYPE_FLOAT16};
    DML_FEATURE_DATA_TENSOR_DATA_TYPE_SUPPORT data{};
    const HRESULT hr = As<IDMLDevice>(dmlDevice)->CheckFeatureSupport(
        DML_FEATURE_TENSOR_DATA_TYPE_SUPPORT, sizeof query, &query, sizeof data, &data);
    *supported = SUCCEEDED(hr) && data.IsSupported != FALSE;
    return hr;
}

HResult Win32DmlPlatform::CreateGemmOperator(Handle dmlDevice, const GemmDesc& desc, Handle* op) {
    const DML_BUFFER_TENSOR_DESC a = BufferTensor(desc.a);
    const DML_BUFFER_TENSOR_DESC b = BufferTensor(desc.b);
    const DML_BUFFER_TENSOR_DESC output = BufferTensor(desc.output);
    const DML_TENSOR_DESC aTensor{DML_TENSOR_TYPE_BUFFER, &a};
    const DML_TENSOR_DESC bTensor{DML_TENSOR_TYPE_BUFFER, &b};
    const DML_TENSOR_DESC outputTensor{DML_TENSOR_TYPE_BUFFER, &output};
    const DML_GEMM_OPERATOR_DESC gemm{&aTensor,
                                      &bTensor,
                                      nullptr,
                                      &outputTensor,
                                      static_cast<DML_MATRIX_TRANSFORM>(desc.transA),
                                      static_cast<DML_MATRIX_TRANSFORM>(desc.transB),
                                      desc.alpha,
                                      desc.beta,
                                      nullptr};
    const DML_OPERATOR_DESC operatorDesc{DML_OPERATOR_GEMM, &gemm};
    return Create(op, [&](void** out) {
        return As<IDMLDevice>(dmlDevice)->CreateOperator(&operatorDesc, kIidDmlOperator, out);
    });
}

HResult Win32DmlPlatform::CompileOperator(Handle dmlDevice, Handle op, std::uint32_t executionFlags,
                                          Handle* compiled) {
    return Create(compiled, [&](void** out) {
        return As<IDMLDevice>(dmlDevice)->CompileOperator(
            As<IDMLOperator>(op), static_cast<DML_EXECUTION_FLAGS>(executionFlags),
            kIidDmlCompiledOperator, out);
    });
}

HResult Win32DmlPlatform::CreateOperatorInitializer(Handle dmlDevice, Handle compiled,
                                                    Handle* initializer) {
    IDMLCompiledOperator* operators[] = {As<IDMLCompiledOperator>(compiled)};
    return Create(initializer, [&](void** out) {
        return As<IDMLDevice>(dmlDevice)->CreateOperatorInitializer(
            1, operators, kIidDmlOperatorInitializer, out);
    });
}

HResult Win32DmlPlatform::CreateCommandRecorder(Handle dmlDevice, Handle* recorder) {
    return Create(recorder, [&](void** out) {
        return As<IDMLDevice>(dmlDevice)->CreateCommandRecorder(kIidDmlCommandRecorder, out);
    });
}

HResult Win32DmlPlatform::CreateBindingTable(Handle dmlDevice, Handle dispatchable,
                                             DescriptorHandles start, std::uint32_t descriptors,
                                             Handle* table) {
    DML_BINDING_TABLE_DESC desc{};
    desc.Dispatchable = As<IDMLDispatchable>(dispatchable);
    desc.CPUDescriptorHandle.ptr = static_cast<SIZE_T>(start.cpu);
    desc.GPUDescriptorHandle.ptr = start.gpu;
    desc.SizeInDescriptors = descriptors;
    return Create(table, [&](void** out) {
        return As<IDMLDevice>(dmlDevice)->CreateBindingTable(&desc, kIidDmlBindingTable, out);
    });
}

BindingProperties Win32DmlPlatform::GetBindingProperties(Handle dispatchable) {
#if defined(_MSC_VER)
    const DML_BINDING_PROPERTIES properties =
        As<IDMLDispatchable>(dispatchable)->GetBindingProperties();
#else
    DML_BINDING_PROPERTIES properties{};
    As<IDMLDispatchable>(dispatchable)->GetBindingProperties(&properties);
#endif
    return BindingProperties{properties.RequiredDescriptorCount, properties.TemporaryResourceSize,
                             properties.PersistentResourceSize};
}

void Win32DmlPlatform::BindInputs(Handle table, std::span<const BufferBinding> bindings) {
    const DmlBindings native(bindings);
    As<IDMLBindingTable>(table)->BindInputs(native.count(), native.data());
}

void Win32DmlPlatform::BindOutputs(Handle table, std::span<const BufferBinding> bindings) {
    const DmlBindings native(bindings);
    As<IDMLBindingTable>(table)->BindOutputs(native.count(), native.data());
}

void Win32DmlPlatform::BindTemporaryResource(Handle table, const BufferBinding& binding) {
    const DmlBindings native(std::span(&binding, 1));
    As<IDMLBindingTable>(table)->BindTemporaryResource(native.data());
}

void Win32DmlPlatform::BindPersistentResource(Handle table, const BufferBinding& binding) {
    const DmlBindings native(std::span(&binding, 1));
    As<IDMLBindingTable>(table)->BindPersistentResource(native.data());
}

void Win32DmlPlatform::RecordDispatch(Handle recorder, Handle list, Handle dispatchable,
                                      Handle table) {
    As<IDMLCommandRecorder>(recorder)->RecordDispatch(
        CommandList(list), As<IDMLDispatchable>(dispatchable), As<IDMLBindingTable>(table));
}

namespace {

AbandonedAdapters& ProcessAbandonedAdapters() {
    static AbandonedAdapters abandoned;  // for the life of the process, as the devices are
    return abandoned;
}

}  // namespace

BenchmarkResult RunDirectMl(AdapterLuid adapterLuid, std::stop_token stopToken,
                            const ProgressCallback& progress) {
    Win32DmlPlatform platform;
    return RunDirectMl(platform, adapterLuid, std::move(stopToken), progress, MakeInputMatrices,
                       ProcessAbandonedAdapters());
}

BenchmarkResult RunDirectMl(AdapterLuid adapterLuid, const InputMatrices& inputs, std::stop_token stopToken,
                            const ProgressCallback& progress) {
    Win32DmlPlatform platform;
    return RunDirectMl(platform, adapterLuid, inputs, std::move(stopToken), progress, ProcessAbandonedAdapters());
}

std::vector<GpuTarget> FindDirectMlAdapters() {
    Win32DmlPlatform platform;
    return FindDirectMlAdapters(platform);
}

}  // namespace gemm
