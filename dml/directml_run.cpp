#include "dml/directml_run.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <optional>
#include <stdexcept>
#include <vector>

#include "core/utf8.h"
#include "dml/d3d12_context.h"

namespace gemm {
namespace {

constexpr std::uint64_t kMatrixBytes = BenchmarkPlan::bytesPerMatrix;
constexpr std::uint32_t kSize = BenchmarkPlan::matrixSize;

void ThrowIfStopRequested(const std::stop_token& stopToken) {
    const std::stop_token copy = stopToken;
    if (copy.stop_requested()) throw Cancelled{};
}

ComRef Created(DmlPlatform& platform, HResult hr, Handle object, const char* label) {
    ComRef owner(platform, hr >= 0 ? object : 0);
    CheckHresult(hr, label);
    return owner;
}

TensorDesc Fp16Tensor(std::uint32_t rows) {
    TensorDesc desc;
    desc.dataType = TensorDataType::Float16;
    desc.sizes[0] = 1;
    desc.sizes[1] = 1;
    desc.sizes[2] = rows;
    desc.sizes[3] = kSize;
    desc.totalBytes = std::uint64_t{rows} * kSize * 2;
    return desc;
}

BufferBinding WholeBuffer(const ComRef& buffer, std::uint64_t size) {
    return BufferBinding{BindingType::Buffer, buffer.get(), 0, size};
}

// A row block's binding table and its recorded list. Released list first.
struct BlockWork {
    ComRef table;
    ComRef list;
};

// Releases the blocks in reverse order of creation.
class BlockSet {
public:
    BlockSet() = default;
    BlockSet(const BlockSet&) = delete;
    BlockSet& operator=(const BlockSet&) = delete;
    ~BlockSet() {
        while (!blocks.empty()) blocks.pop_back();
    }
    std::vector<BlockWork> blocks;
};

// Gives the matrices when the run is ready to upload them; they stay unchanged until it returns.
using InputsFor = std::function<const InputMatrices&(const std::stop_token&)>;

BenchmarkResult Run(DmlPlatform& platform, AdapterLuid adapterLuid, const std::stop_token& stopToken,
                    const ProgressCallback& progress, const InputsFor& inputsFor) {
    // Locals are declared in order of acquisition, so every exit releases them in reverse
    // and unloads the library last.
    LibraryHandle library(platform, platform.LoadDirectMl());
    const Handle createDmlDevice = library ? platform.FindDmlCreateDevice(library.get()) : 0;
    if (createDmlDevice == 0) throw std::runtime_error("DirectML.dll is unavailable");

    const ComRef factory = CreateDxgiFactory(platform);
    Handle object = 0;
    HResult hr = platform.EnumAdapterByLuid(factory.get(), adapterLuid, &object);
    const ComRef adapter = Created(platform, hr, object, "Find the selected DirectML GPU");

    object = 0;
    hr = platform.CreateDevice(adapter.get(), &object);
    const ComRef device = Created(platform, hr, object, "D3D12CreateDevice");
    object = 0;
    hr = platform.DmlCreateDevice(createDmlDevice, device.get(), &object);
    const ComRef dmlDevice = Created(platform, hr, object, "DMLCreateDevice");

    bool fp16 = false;
    if (platform.CheckFloat16Support(dmlDevice.get(), &fp16) < 0 || !fp16) {
        throw std::runtime_error("DirectML FP16 tensors are unavailable on this GPU");
    }

    bool uma = false;
    const DirectMlRunShape shape = platform.QueryUnifiedMemory(device.get(), &uma) >= 0 && uma
                                       ? kIntegratedShape
                                       : kDiscreteShape;

    GemmDesc gemmDesc;
    gemmDesc.a = Fp16Tensor(static_cast<std::uint32_t>(shape.rowsPerBlock));
    gemmDesc.b = Fp16Tensor(kSize);
    gemmDesc.output = gemmDesc.a;
    ComRef compiled;
    {
        object = 0;
        hr = platform.CreateGemmOperator(dmlDevice.get(), gemmDesc, &object);
        const ComRef op = Created(platform, hr, object, "Create DirectML FP16 GEMM");
        object = 0;
        hr = platform.CompileOperator(dmlDevice.get(), op.get(), kExecutionFlagNone, &object);
        compiled = Created(platform, hr, object, "Compile DirectML FP16 GEMM");
    }
    object = 0;
    hr = platform.CreateOperatorInitializer(dmlDevice.get(), compiled.get(), &object);
    const ComRef initializer = Created(platform, hr, object, "CreateOperatorInitializer");
    object = 0;
    hr = platform.CreateCommandRecorder(dmlDevice.get(), &object);
    const ComRef recorder = Created(platform, hr, object, "CreateCommandRecorder");

    const BindingProperties initProps = platform.GetBindingProperties(initializer.get());
    const BindingProperties opProps = platform.GetBindingProperties(compiled.get());
    const std::uint32_t perBlock = std::max<std::uint32_t>(opProps.requiredDescriptorCount, 1);
    const std::uint32_t heapSize = std::max<std::uint32_t>(
        initProps.requiredDescriptorCount, perBlock * static_cast<std::uint32_t>(shape.blockCount));

    object = 0;
    hr = platform.CreateDescriptorHeap(device.get(), heapSize, &object);
    const ComRef heap = Created(platform, hr, object, "CreateDescriptorHeap");
    const DescriptorHandles heapStart = platform.GetHeapStart(heap.get());
    object = 0;
    hr = platform.CreateBindingTable(dmlDevice.get(), initializer.get(), heapStart, heapSize,
                                     &object);
    const ComRef initTable = Created(platform, hr, object, "CreateBindingTable");

    const std::uint64_t temporarySize =
        std::max(initProps.temporaryResourceSize, opProps.temporaryResourceSize);
    ComRef temporary;
    if (temporarySize != 0) {
        temporary = CreateBuffer(platform, device.get(), temporarySize, HeapType::Default,
                                 ResourceState::UnorderedAccess);
    }
    ComRef persistent;
    if (opProps.persistentResourceSize != 0) {
        persistent = CreateBuffer(platform, device.get(), opProps.persistentResourceSize,
                                  HeapType::Default, ResourceState::UnorderedAccess);
    }
    if (initProps.temporaryResourceSize != 0) {
        platform.BindTemporaryResource(initTable.get(), WholeBuffer(temporary, temporarySize));
    }
    const BufferBinding initOutput =
        persistent ? WholeBuffer(persistent, opProps.persistentResourceSize) : BufferBinding{};
    platform.BindOutputs(initTable.get(), std::span(&initOutput, 1));

    const InputMatrices& inputs = inputsFor(stopToken);

    ComRef upload = CreateBuffer(platform, device.get(), 2 * kMatrixBytes, HeapType::Upload,
                                 ResourceState::GenericRead);
    UploadMatrix(platform, upload.get(), inputs.a, 0);
    UploadMatrix(platform, upload.get(), inputs.b, kMatrixBytes);
    const ComRef bufferA = CreateBuffer(platform, device.get(), kMatrixBytes, HeapType::Default,
                                        ResourceState::CopyDest);
    const ComRef bufferB = CreateBuffer(platform, device.get(), kMatrixBytes, HeapType::Default,
                                        ResourceState::CopyDest);
    const ComRef output = CreateBuffer(platform, device.get(), kMatrixBytes, HeapType::Default,
                                       ResourceState::UnorderedAccess);

    D3d12Context context(platform, device.get());
    const Handle initList = context.list.get();
    platform.SetDescriptorHeap(initList, heap.get());
    platform.RecordDispatch(recorder.get(), initList, initializer.get(), initTable.get());
    platform.UavBarrier(initList);
    platform.CopyBufferRegion(initList, bufferA.get(), 0, upload.get(), 0, kMatrixBytes);
    platform.CopyBufferRegion(initList, bufferB.get(), 0, upload.get(), kMatrixBytes, kMatrixBytes);
    platform.TransitionBarrier(initList, bufferA.get(), ResourceState::CopyDest,
                               ResourceState::UnorderedAccess);
    platform.TransitionBarrier(initList, bufferB.get(), ResourceState::CopyDest,
                               ResourceState::UnorderedAccess);
    CheckHresult(platform.CloseList(initList), "Close DirectML initialization command list");
    context.SubmitAndWait(device.get(), initList);
    upload.Reset();

    const ComRef readback =
        CreateBuffer(platform, device.get(), 16, HeapType::Readback, ResourceState::CopyDest);
    object = 0;
    hr = platform.CreateTimestampQueryHeap(device.get(), 2, &object);
    const ComRef queryHeap = Created(platform, hr, object, "Create GPU timestamp query heap");
    std::uint64_t frequency = 0;
    CheckHresult(platform.GetTimestampFrequency(context.queue.get(), &frequency),
                 "GPU timestamp frequency");
    if (frequency == 0) throw std::runtime_error("Invalid GPU timestamp frequency");

    const std::uint64_t increment = platform.GetDescriptorIncrement(device.get());
    DescriptorHandles blockStart = heapStart;
    BlockSet blockSet;
    blockSet.blocks.reserve(static_cast<std::size_t>(shape.blockCount));
    for (std::int32_t block = 0; block < shape.blockCount; ++block) {
        BlockWork& work = blockSet.blocks.emplace_back();
        object = 0;
        hr = platform.CreateBindingTable(dmlDevice.get(), compiled.get(), blockStart, perBlock,
                                         &object);
        work.table = Created(platform, hr, object, "Create GEMM binding table");
        if (opProps.temporaryResourceSize != 0) {
            platform.BindTemporaryResource(work.table.get(), WholeBuffer(temporary, temporarySize));
        }
        if (persistent) {
            platform.BindPersistentResource(
                work.table.get(), WholeBuffer(persistent, opProps.persistentResourceSize));
        }
        const std::uint64_t blockOffset = static_cast<std::uint64_t>(block) * shape.blockBytes;
        const BufferBinding inputBindings[3] = {
            {BindingType::Buffer, bufferA.get(), blockOffset, shape.blockBytes},
            {BindingType::Buffer, bufferB.get(), 0, kMatrixBytes},
            {},  // no C tensor
        };
        platform.BindInputs(work.table.get(), inputBindings);
        const BufferBinding outputBinding{BindingType::Buffer, output.get(), blockOffset,
                                          shape.blockBytes};
        platform.BindOutputs(work.table.get(), std::span(&outputBinding, 1));

        object = 0;
        hr = platform.CreateCommandList(device.get(), context.allocator.get(), &object);
        work.list = Created(platform, hr, object, "Create GEMM command list");
        const Handle list = work.list.get();
        platform.SetDescriptorHeap(list, heap.get());
        platform.UavBarrier(list);
        platform.EndTimestampQuery(list, queryHeap.get(), 0);
        platform.RecordDispatch(recorder.get(), list, compiled.get(), work.table.get());
        platform.EndTimestampQuery(list, queryHeap.get(), 1);
        platform.ResolveTimestamps(list, queryHeap.get(), 0, 2, readback.get(), 0);
        CheckHresult(platform.CloseList(list), "Close DirectML benchmark command list");

        blockStart.cpu += perBlock * increment;
        blockStart.gpu += perBlock * increment;
    }

    progress(0);
    for (std::int32_t pass = 0; pass < shape.warmupPasses; ++pass) {
        for (const BlockWork& work : blockSet.blocks) {
            ThrowIfStopRequested(stopToken);
            context.SubmitAndWait(device.get(), work.list.get());
        }
    }

    SeriesTiming series[BenchmarkPlan::seriesCount];
    for (std::int32_t k = 0; k < BenchmarkPlan::seriesCount; ++k) {
        double ticks = 0.0;
        for (std::int32_t pass = 0; pass < shape.passesPerSeries; ++pass) {
            for (const BlockWork& work : blockSet.blocks) {
                ThrowIfStopRequested(stopToken);
                context.SubmitAndWait(device.get(), work.list.get());
                std::uint64_t timestamps[2] = {};
                ReadBack(platform, readback.get(), timestamps, sizeof timestamps);
                if (timestamps[1] <= timestamps[0]) {
                    throw std::runtime_error("Invalid DirectML GPU timestamp interval");
                }
                ticks += static_cast<double>(timestamps[1] - timestamps[0]);
            }
        }
        const double milliseconds = ticks * 1000.0 / static_cast<double>(frequency);
        series[k] = ToSeriesTiming(milliseconds, shape.passesPerSeries);
        progress(k + 1);
    }
    ThrowIfStopRequested(stopToken);

    CheckHresult(platform.ResetAllocator(context.allocator.get()), "Direct3D 12 allocator reset");
    const Handle list = context.list.get();
    CheckHresult(platform.ResetList(list, context.allocator.get()),
                 "Direct3D 12 command list reset");
    // Buffers return to the common state whenever a submission completes.
    platform.TransitionBarrier(list, output.get(), ResourceState::Common,
                               ResourceState::CopySource);
    for (std::uint64_t i = 0; i < 3; ++i) {
        const MatrixPosition position = kCheckedElements[i];
        const std::uint64_t element = static_cast<std::uint64_t>(position.row) * kSize +
                                      static_cast<std::uint64_t>(position.col);
        platform.CopyBufferRegion(list, readback.get(), 2 * i, output.get(), 2 * element, 2);
    }
    CheckHresult(platform.CloseList(list), "Close DirectML validation command list");
    context.SubmitAndWait(device.get(), list);
    std::uint16_t values[3] = {};
    ReadBack(platform, readback.get(), values, sizeof values);
    return ValidatedResult(series, inputs, values);
}

// The run, refused on an adapter that an earlier run abandoned, and noting one this run abandons.
BenchmarkResult RunGuarded(DmlPlatform& platform, AdapterLuid adapterLuid, const std::stop_token& stopToken,
                           const ProgressCallback& progress, AbandonedAdapters& abandoned, const InputsFor& inputsFor) {
    if (abandoned.Contains(adapterLuid)) throw AdapterNeedsRestart();
    try {
        return Run(platform, adapterLuid, stopToken, progress, inputsFor);
    } catch (...) {
        if (platform.ObjectsAbandoned()) abandoned.Add(adapterLuid);
        throw;
    }
}

}  // namespace

bool AbandonedAdapters::Contains(AdapterLuid luid) const {
    const std::lock_guard lock(mutex_);
    return std::find(luids_.begin(), luids_.end(), luid) != luids_.end();
}

void AbandonedAdapters::Add(AdapterLuid luid) {
    const std::lock_guard lock(mutex_);
    if (std::find(luids_.begin(), luids_.end(), luid) == luids_.end()) luids_.push_back(luid);
}

TextPair AdapterNeedsRestartMessage() {
    return {L"Предыдущий тест на этой видеокарте не удалось завершить. Перезапустите программу, чтобы снова "
            L"протестировать её.",
            L"An earlier run on this graphics card could not be finished. Restart the program to test it again."};
}

AdapterNeedsRestart::AdapterNeedsRestart() : std::runtime_error(WideToUtf8(AdapterNeedsRestartMessage().en)) {}

BenchmarkResult RunDirectMl(DmlPlatform& platform, AdapterLuid adapterLuid,
                            std::stop_token stopToken, const ProgressCallback& progress,
                            const InputGenerator& generate, AbandonedAdapters& abandoned) {
    std::optional<InputMatrices> generated;
    return RunGuarded(platform, adapterLuid, stopToken, progress, abandoned,
                      [&](const std::stop_token& stop) -> const InputMatrices& {
                          return generated.emplace(generate(stop));
                      });
}

BenchmarkResult RunDirectMl(DmlPlatform& platform, AdapterLuid adapterLuid, const InputMatrices& inputs,
                            std::stop_token stopToken, const ProgressCallback& progress,
                            AbandonedAdapters& abandoned) {
    return RunGuarded(platform, adapterLuid, stopToken, progress, abandoned,
                      [&](const std::stop_token&) -> const InputMatrices& { return inputs; });
}

}  // namespace gemm
