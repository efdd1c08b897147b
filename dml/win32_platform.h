#pragma once
// The Direct3D 12, DXGI and DirectML calls made for real (Windows only), and the backend's
// entry points for the product.

#include <stop_token>
#include <string>
#include <vector>

#include "core/benchmark.h"
#include "core/gpu_target.h"
#include "core/input_matrices.h"
#include "dml/platform.h"

namespace gemm {

class Win32DmlPlatform : public DmlPlatform {
public:
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
    HResult GetAdapterDesc(Handle adapter, AdapterDesc* desc) override;
    HResult CreateDevice(Handle adapter, Handle* device) override;
    HResult QueryUnifiedMemory(Handle device, bool* uma) override;
    HResult CreateCommandQueue(Handle device, Handle* queue) override;
    HResult CreateCommandAllocator(Handle device, Handle* allocator) override;
    HResult CreateCommandList(Handle device, Handle allocator, Handle* list) override;
    HResult CreateFence(Handle device, Handle* fence) override;
    HResult CreateCommittedBuffer(Handle device, const BufferDesc& desc, Handle* buffer) override;
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
    void TransitionBarrier(Handle list, Handle resource, ResourceState before,
                           ResourceState after) override;
    void CopyBufferRegion(Handle list, Handle destination, std::uint64_t destinationOffset,
                          Handle source, std::uint64_t sourceOffset, std::uint64_t bytes) override;
    void EndTimestampQuery(Handle list, Handle queryHeap, std::uint32_t index) override;
    void ResolveTimestamps(Handle list, Handle queryHeap, std::uint32_t first, std::uint32_t count,
                           Handle destination, std::uint64_t destinationOffset) override;
    HResult Map(Handle resource, ByteRange read, void** data) override;
    void Unmap(Handle resource, ByteRange written) override;
    DescriptorHandles GetHeapStart(Handle heap) override;
    HResult DmlCreateDevice(Handle createDevice, Handle device, Handle* dmlDevice) override;
    HResult CheckFloat16Support(Handle dmlDevice, bool* supported) override;
    HResult CreateGemmOperator(Handle dmlDevice, const GemmDesc& desc, Handle* op) override;
    HResult CompileOperator(Handle dmlDevice, Handle op, std::uint32_t executionFlags,
                            Handle* compiled) override;
    HResult CreateOperatorInitializer(Handle dmlDevice, Handle compiled,
                                      Handle* initializer) override;
    HResult CreateCommandRecorder(Handle dmlDevice, Handle* recorder) override;
    HResult CreateBindingTable(Handle dmlDevice, Handle dispatchable, DescriptorHandles start,
                               std::uint32_t descriptors, Handle* table) override;
    BindingProperties GetBindingProperties(Handle dispatchable) override;
    void BindInputs(Handle table, std::span<const BufferBinding> bindings) override;
    void BindOutputs(Handle table, std::span<const BufferBinding> bindings) override;
    void BindTemporaryResource(Handle table, const BufferBinding& binding) override;
    void BindPersistentResource(Handle table, const BufferBinding& binding) override;
    void RecordDispatch(Handle recorder, Handle list, Handle dispatchable, Handle table) override;
};

// UTF-16 to UTF-8 through WideCharToMultiByte; empty when the conversion fails.
std::string ToUtf8(std::wstring_view text);

// The DirectML run on the adapter with this LUID (inputs from gemm::MakeInputMatrices).
BenchmarkResult RunDirectMl(AdapterLuid adapterLuid, std::stop_token stopToken,
                            const ProgressCallback& progress);
// The same on matrices the caller made once for several adapters (read only).
BenchmarkResult RunDirectMl(AdapterLuid adapterLuid, const InputMatrices& inputs, std::stop_token stopToken,
                            const ProgressCallback& progress);

// The AMD and Intel adapters of this machine with their DirectML readiness.
std::vector<GpuTarget> FindDirectMlAdapters();

}  // namespace gemm
