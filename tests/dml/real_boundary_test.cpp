// The real calls, one small FP16 GEMM through them: timestamps and read-back included.

#include <cstring>
#include <vector>

#include "core/input_matrices.h"
#include "dml/d3d12_context.h"
#include "dml/win32_platform.h"
#include "tests/dml/real_stack.h"

namespace {

using namespace gemm;

constexpr std::uint32_t kN = 512;
constexpr std::uint64_t kBytes = std::uint64_t{kN} * kN * 2;

TensorDesc Square() {
    TensorDesc desc;
    desc.sizes[0] = 1;
    desc.sizes[1] = 1;
    desc.sizes[2] = kN;
    desc.sizes[3] = kN;
    desc.totalBytes = kBytes;
    return desc;
}

template <class Call>
ComRef Make(DmlPlatform& platform, const char* label, Call&& call) {
    Handle object = 0;
    CheckHresult(call(&object), label);
    return ComRef(platform, object);
}

TEST(RealBoundary, SmallFp16GemmWithTimestampsAndReadBack) {
    REQUIRE_REAL_STACK();
    realstack::InstallDirectMl(true);
    Win32DmlPlatform p;

    {
        LibraryHandle library(p, p.LoadDirectMl());
        ASSERT_TRUE(library);
        const Handle create = p.FindDmlCreateDevice(library.get());
        ASSERT_NE(create, 0u);
        ComRef factory = CreateDxgiFactory(p);
        ComRef adapter =
            Make(p, "adapter", [&](Handle* o) { return p.EnumAdapters(factory.get(), 0, o); });
        ComRef device =
            Make(p, "device", [&](Handle* o) { return p.CreateDevice(adapter.get(), o); });
        ComRef dml =
            Make(p, "dml", [&](Handle* o) { return p.DmlCreateDevice(create, device.get(), o); });
        bool fp16 = false;
        ASSERT_GE(p.CheckFloat16Support(dml.get(), &fp16), 0);
        EXPECT_TRUE(fp16);

        GemmDesc desc;
        desc.a = desc.b = desc.output = Square();
        ComRef op =
            Make(p, "op", [&](Handle* o) { return p.CreateGemmOperator(dml.get(), desc, o); });
        ComRef compiled = Make(p, "compile", [&](Handle* o) {
            return p.CompileOperator(dml.get(), op.get(), kExecutionFlagNone, o);
        });
        ComRef init = Make(p, "init", [&](Handle* o) {
            return p.CreateOperatorInitializer(dml.get(), compiled.get(), o);
        });
        ComRef recorder =
            Make(p, "recorder", [&](Handle* o) { return p.CreateCommandRecorder(dml.get(), o); });
        const BindingProperties opProps = p.GetBindingProperties(compiled.get());
        const BindingProperties initProps = p.GetBindingProperties(init.get());
        // Values far beyond these show a garbled structure return.
        EXPECT_GE(opProps.requiredDescriptorCount, 1u);
        EXPECT_LE(opProps.requiredDescriptorCount, 64u);
        EXPECT_LE(initProps.requiredDescriptorCount, 64u);
        EXPECT_EQ(opProps.temporaryResourceSize, 0u);
        EXPECT_EQ(opProps.persistentResourceSize, 0u);

        // The initializer's descriptors first, then the operator's.
        const std::uint32_t initCount = initProps.requiredDescriptorCount;
        const std::uint32_t opCount = opProps.requiredDescriptorCount;
        ComRef heap = Make(p, "heap", [&](Handle* o) {
            return p.CreateDescriptorHeap(device.get(), initCount + opCount, o);
        });
        const DescriptorHandles start = p.GetHeapStart(heap.get());
        EXPECT_NE(start.cpu, 0u);
        EXPECT_NE(start.gpu, 0u);
        const std::uint64_t increment = p.GetDescriptorIncrement(device.get());
        EXPECT_GT(increment, 0u);
        ComRef initTable = Make(p, "init table", [&](Handle* o) {
            return p.CreateBindingTable(dml.get(), init.get(), start, initCount, o);
        });
        const BufferBinding none{};
        p.BindOutputs(initTable.get(), std::span(&none, 1));
        const DescriptorHandles opStart{start.cpu + initCount * increment,
                                        start.gpu + initCount * increment};
        ComRef table = Make(p, "table", [&](Handle* o) {
            return p.CreateBindingTable(dml.get(), compiled.get(), opStart, opCount, o);
        });

        // A = row index pattern, B = identity: C must equal A exactly.
        std::vector<std::uint16_t> a(kN * kN), b(kN * kN, 0);
        for (std::uint32_t r = 0; r < kN; ++r) {
            for (std::uint32_t c = 0; c < kN; ++c) {
                a[r * kN + c] = FloatToHalf(static_cast<float>((r * 7 + c) % 64) - 32.0f);
            }
            b[r * kN + r] = FloatToHalf(1.0f);
        }
        ComRef upload =
            CreateBuffer(p, device.get(), 2 * kBytes, HeapType::Upload, ResourceState::GenericRead);
        void* mapped = nullptr;
        ASSERT_GE(p.Map(upload.get(), ByteRange{0, 0}, &mapped), 0);
        std::memcpy(mapped, a.data(), kBytes);
        std::memcpy(static_cast<char*>(mapped) + kBytes, b.data(), kBytes);
        p.Unmap(upload.get(), ByteRange{0, 2 * kBytes});
        ComRef bufA =
            CreateBuffer(p, device.get(), kBytes, HeapType::Default, ResourceState::CopyDest);
        ComRef bufB =
            CreateBuffer(p, device.get(), kBytes, HeapType::Default, ResourceState::CopyDest);
        ComRef bufC = CreateBuffer(p, device.get(), kBytes, HeapType::Default,
                                   ResourceState::UnorderedAccess);
        ComRef readback =
            CreateBuffer(p, device.get(), kBytes, HeapType::Readback, ResourceState::CopyDest);
        const BufferBinding inputs[3] = {{BindingType::Buffer, bufA.get(), 0, kBytes},
                                         {BindingType::Buffer, bufB.get(), 0, kBytes},
                                         {}};
        p.BindInputs(table.get(), inputs);
        const BufferBinding output{BindingType::Buffer, bufC.get(), 0, kBytes};
        p.BindOutputs(table.get(), std::span(&output, 1));
        ComRef queries = Make(p, "queries", [&](Handle* o) {
            return p.CreateTimestampQueryHeap(device.get(), 2, o);
        });

        D3d12Context context(p, device.get());
        const Handle list = context.list.get();
        p.SetDescriptorHeap(list, heap.get());
        p.RecordDispatch(recorder.get(), list, init.get(), initTable.get());
        p.UavBarrier(list);
        p.CopyBufferRegion(list, bufA.get(), 0, upload.get(), 0, kBytes);
        p.CopyBufferRegion(list, bufB.get(), 0, upload.get(), kBytes, kBytes);
        p.TransitionBarrier(list, bufA.get(), ResourceState::CopyDest,
                            ResourceState::UnorderedAccess);
        p.TransitionBarrier(list, bufB.get(), ResourceState::CopyDest,
                            ResourceState::UnorderedAccess);
        p.UavBarrier(list);
        p.EndTimestampQuery(list, queries.get(), 0);
        p.RecordDispatch(recorder.get(), list, compiled.get(), table.get());
        p.EndTimestampQuery(list, queries.get(), 1);
        p.TransitionBarrier(list, bufC.get(), ResourceState::UnorderedAccess,
                            ResourceState::CopySource);
        p.CopyBufferRegion(list, readback.get(), 16, bufC.get(), 0, kBytes - 16);
        p.ResolveTimestamps(list, queries.get(), 0, 2, readback.get(), 0);
        CheckHresult(p.CloseList(list), "close");
        context.SubmitAndWait(device.get(), list);
        EXPECT_EQ(context.fenceValue, 1u);

        std::uint64_t frequency = 0;
        ASSERT_GE(p.GetTimestampFrequency(context.queue.get(), &frequency), 0);
        EXPECT_GT(frequency, 0u);
        std::vector<std::uint16_t> result(kN * kN);
        ReadBack(p, readback.get(), result.data(), kBytes);
        std::uint64_t timestamps[2];
        std::memcpy(timestamps, result.data(), sizeof timestamps);
        EXPECT_GT(timestamps[1], timestamps[0]);
        // The first 16 bytes hold the timestamps; every element after them is exact.
        for (std::uint32_t i = 8; i < kN * kN - 8; i += 997) {
            ASSERT_EQ(result[i], a[i - 8]) << "element " << i - 8;
        }
    }
    realstack::InstallDirectMl(false);
}

TEST(RealBoundary, MissingLibraryAndUtf8Conversion) {
    realstack::InstallDirectMl(false);
    Win32DmlPlatform p;
    EXPECT_EQ(p.LoadDirectMl(), 0u);
    EXPECT_EQ(ToUtf8(L"Intel(R) \u0413\u0420\u0410\u0424\u0418\u041A\u0410 \U0001F600"),
              "Intel(R) \xD0\x93\xD0\xA0\xD0\x90\xD0\xA4\xD0\x98\xD0\x9A\xD0\x90 \xF0\x9F\x98\x80");
    EXPECT_EQ(ToUtf8(L""), "");
}

}  // namespace
