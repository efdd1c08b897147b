// Error texts, buffers, upload, read-back and the execution context against the substitute.

#include "dml/d3d12_context.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "tests/dml/fake_platform.h"
#include "tests/dml/test_support.h"

namespace {

using dmltest::ErrorText;
using gemm::Handle;
using gemm::HeapType;
using gemm::ResourceState;

TEST(CheckHresult, SuccessCodesPassAndFailuresPrintEightUnsignedHexDigits) {
    EXPECT_NO_THROW(gemm::CheckHresult(0, "x"));
    EXPECT_NO_THROW(gemm::CheckHresult(1, "x"));  // S_FALSE is a success
    EXPECT_EQ(ErrorText([] {
                  gemm::CheckHresult(static_cast<gemm::HResult>(0x887A0002u),
                                     "Find the selected DirectML GPU");
              }),
              "Find the selected DirectML GPU (0x887A0002)");
    EXPECT_EQ(ErrorText([] { gemm::CheckHresult(-1, "L"); }), "L (0xFFFFFFFF)");
    EXPECT_EQ(ErrorText([] { gemm::CheckHresult(INT32_MIN, "L"); }), "L (0x80000000)");
    EXPECT_EQ(gemm::HresultErrorText("L", 0x2A), "L (0x0000002A)");
}

// A substitute with a device ready to use.
struct Fixture {
    FakePlatform fake;
    gemm::ComRef factory;
    gemm::ComRef adapter;
    gemm::ComRef device;
    Fixture() {
        Handle object = 0;
        fake.CreateDxgiFactory(&object);
        factory = gemm::ComRef(fake, object);
        fake.EnumAdapters(factory.get(), 0, &object);
        adapter = gemm::ComRef(fake, object);
        fake.CreateDevice(adapter.get(), &object);
        device = gemm::ComRef(fake, object);
    }
};

TEST(D3d12Pieces, BuffersUploadAndReadBack) {
    Fixture f;
    {
        const gemm::ComRef upload =
            gemm::CreateBuffer(f.fake, f.device.get(), 2 * 134217728ull, gemm::HeapType::Upload,
                               gemm::ResourceState::GenericRead);
        const gemm::ComRef data = gemm::CreateBuffer(
            f.fake, f.device.get(), 64, gemm::HeapType::Default, gemm::ResourceState::CopyDest);
        ASSERT_EQ(f.fake.bufferDescs.size(), 2u);
        EXPECT_EQ(f.fake.bufferDescs[0].flags, gemm::ResourceFlags::None);
        EXPECT_EQ(f.fake.bufferDescs[1].flags, gemm::ResourceFlags::AllowUnorderedAccess);
        EXPECT_EQ(f.fake.bufferDescs[1].initialState, gemm::ResourceState::CopyDest);

        const gemm::InputMatrices& inputs = dmltest::PatternInputs();
        gemm::UploadMatrix(f.fake, upload.get(), inputs.b, 134217728);
        EXPECT_EQ(f.fake.mapReads.back().end, 0u);
        EXPECT_EQ(f.fake.unmapWrites.back().begin, 134217728u);
        EXPECT_EQ(f.fake.unmapWrites.back().end, 268435456u);
        // A matrix of the wrong size is refused instead of being read past its end.
        EXPECT_THROW(gemm::UploadMatrix(f.fake, upload.get(), std::vector<std::uint16_t>(5), 0),
                     std::logic_error);

        // Read-back maps exactly the bytes it reads.
        void* mapped = nullptr;
        f.fake.Map(upload.get(), {0, 0}, &mapped);
        static_cast<unsigned char*>(mapped)[0] = 0xAB;
        unsigned char bytes[6] = {};
        gemm::ReadBack(f.fake, upload.get(), bytes, 6);
        EXPECT_EQ(bytes[0], 0xAB);
        EXPECT_EQ(f.fake.mapReads.back().end, 6u);
        EXPECT_EQ(f.fake.unmapWrites.back().end, 0u);

        f.fake.Fail("Map", FakePlatform::kFail, f.fake.Count("Map"));
        EXPECT_EQ(ErrorText([&] { gemm::ReadBack(f.fake, upload.get(), bytes, 6); }),
                  "Direct3D 12 readback mapping (0x80004005)");
        f.fake.Fail("Map", FakePlatform::kFail, f.fake.Count("Map"));
        EXPECT_EQ(ErrorText([&] { gemm::UploadMatrix(f.fake, upload.get(), inputs.a, 0); }),
                  "Direct3D 12 upload mapping (0x80004005)");
        f.fake.Fail("CreateCommittedBuffer", FakePlatform::kFail, 2);
        EXPECT_EQ(ErrorText([&] {
                      gemm::CreateBuffer(f.fake, f.device.get(), 16, gemm::HeapType::Readback,
                                         gemm::ResourceState::CopyDest);
                  }),
                  "Direct3D 12 buffer allocation (0x80004005)");
    }
    EXPECT_EQ(f.fake.bufferHandles.size(), 2u);
}

TEST(D3d12Context, CreationFailuresReportTheirOwnLabelAndLeakNothing) {
    const std::vector<std::pair<const char*, const char*>> rows = {
        {"CreateCommandQueue", "CreateCommandQueue (0x80004005)"},
        {"CreateCommandAllocator", "CreateCommandAllocator (0x80004005)"},
        {"CreateCommandList", "CreateCommandList (0x80004005)"},
        {"CreateFence", "CreateFence (0x80004005)"},
    };
    for (const auto& [call, text] : rows) {
        SCOPED_TRACE(call);
        Fixture f;
        f.fake.eventFails = true;  // an earlier object's failure is reported first
        f.fake.Fail(call, FakePlatform::kFail);
        EXPECT_EQ(ErrorText([&] { gemm::D3d12Context context(f.fake, f.device.get()); }), text);
        f.device.Reset();
        f.adapter.Reset();
        f.factory.Reset();
        EXPECT_TRUE(f.fake.Leaks().empty());
    }
    Fixture f;
    f.fake.eventFails = true;
    EXPECT_EQ(ErrorText([&] { gemm::D3d12Context context(f.fake, f.device.get()); }),
              "Could not create the Direct3D 12 fence event");
    EXPECT_EQ(f.fake.Count("CreateFence"), 1);  // all four were made before the event was tested
}

TEST(D3d12Context, ReleasesEventFirstThenFenceListAllocatorQueue) {
    Fixture f;
    const std::size_t before = f.fake.released.size();
    { gemm::D3d12Context context(f.fake, f.device.get()); }
    std::vector<std::string> kinds = f.fake.ReleasedKinds();
    kinds.erase(kinds.begin(), kinds.begin() + static_cast<std::ptrdiff_t>(before));
    EXPECT_EQ(kinds, (std::vector<std::string>{"event", "fence", "list", "allocator", "queue"}));
}

TEST(D3d12Context, SubmitAndWaitSignalsIncreasingValuesAndChecksTheDevice) {
    Fixture f;
    gemm::D3d12Context context(f.fake, f.device.get());
    ASSERT_EQ(f.fake.CloseList(context.list.get()), 0);
    context.SubmitAndWait(f.device.get(), context.list.get());
    context.SubmitAndWait(f.device.get(), context.list.get());
    EXPECT_EQ(f.fake.signalled, (std::vector<std::uint64_t>{1, 2}));
    EXPECT_EQ(context.fenceValue, 2u);
    EXPECT_EQ(f.fake.Count("GetDeviceRemovedReason"), 2);  // after every wait

    // An event that cannot be armed or waited on: the fence is waited for without it (a second
    // SetEventOnCompletion, which the substitute completes), and nothing is abandoned.
    f.fake.Fail("SetEventOnCompletion", static_cast<gemm::HResult>(0x80070057u),
                f.fake.Count("SetEventOnCompletion"));
    EXPECT_EQ(ErrorText([&] { context.SubmitAndWait(f.device.get(), context.list.get()); }),
              "Direct3D 12 fence completion (0x80070057)");
    f.fake.waitFails = true;
    EXPECT_EQ(ErrorText([&] { context.SubmitAndWait(f.device.get(), context.list.get()); }),
              "Direct3D 12 fence wait failed");
    f.fake.waitFails = false;
    EXPECT_EQ(f.fake.Count("SetEventOnCompletion"), 2 + 2 + 2);
    EXPECT_FALSE(f.fake.ObjectsAbandoned());
    // A fence that cannot be signalled gives nothing to wait for.
    f.fake.Fail("Signal", FakePlatform::kFail, f.fake.Count("Signal"));
    EXPECT_EQ(ErrorText([&] { context.SubmitAndWait(f.device.get(), context.list.get()); }),
              "Direct3D 12 queue signal (0x80004005)");
    EXPECT_TRUE(f.fake.ObjectsAbandoned());
    f.fake.deviceLostAtSubmission = 1;
    EXPECT_EQ(ErrorText([&] { context.SubmitAndWait(f.device.get(), context.list.get()); }),
              "Direct3D 12 device lost (0x887A0005)");
    EXPECT_TRUE(f.fake.errors.empty());
}

// The substitute holds the backend to rules the real stack enforces: buffers on the upload and
// readback heaps start in, and keep, their one state; timestamps are resolved to an 8-byte
// aligned offset, from queries of the heap, into bytes of the buffer.
TEST(Substitute, UploadAndReadbackBuffersKeepTheirStateAndResolvesStayInBounds) {
    Fixture f;
    const Handle device = f.device.get();
    Handle object = 0;
    EXPECT_EQ(f.fake.CreateCommittedBuffer(device, {HeapType::Upload, 16, {}, ResourceState::CopyDest}, &object),
              FakePlatform::kInvalidArg);
    EXPECT_EQ(f.fake.CreateCommittedBuffer(device, {HeapType::Readback, 16, {}, ResourceState::GenericRead}, &object),
              FakePlatform::kInvalidArg);
    EXPECT_EQ(f.fake.errors.size(), 2u);

    const gemm::ComRef upload = gemm::CreateBuffer(f.fake, device, 64, HeapType::Upload, ResourceState::GenericRead);
    const gemm::ComRef readback = gemm::CreateBuffer(f.fake, device, 16, HeapType::Readback, ResourceState::CopyDest);
    f.fake.CreateTimestampQueryHeap(device, 2, &object);
    const gemm::ComRef queries(f.fake, object);
    gemm::D3d12Context context(f.fake, device);
    const Handle list = context.list.get();
    f.fake.TransitionBarrier(list, upload.get(), ResourceState::GenericRead, ResourceState::CopySource);
    f.fake.TransitionBarrier(list, readback.get(), ResourceState::CopyDest, ResourceState::Common);
    f.fake.ResolveTimestamps(list, queries.get(), 0, 2, readback.get(), 4);  // unaligned
    f.fake.ResolveTimestamps(list, queries.get(), 1, 2, readback.get(), 0);  // past the last query
    f.fake.ResolveTimestamps(list, queries.get(), 0, 2, readback.get(), 8);  // past the buffer's end
    f.fake.ResolveTimestamps(list, queries.get(), 0, 2, readback.get(), 0);
    f.fake.CloseList(list);
    context.SubmitAndWait(device, list);
    const auto mentioning = [&](const char* what) {
        return std::count_if(f.fake.errors.begin(), f.fake.errors.end(),
                             [&](const std::string& error) { return error.find(what) != std::string::npos; });
    };
    EXPECT_EQ(mentioning("upload or readback heap"), 2);
    EXPECT_EQ(mentioning("resolve"), 3);
    EXPECT_EQ(f.fake.errors.size(), 7u);
}

// The substitute multiplies transposed operands as DirectML defines them: a transposed tensor is
// read with its two dimensions swapped. A is an 8192 x 512 tensor read as 512 x 8192, B the
// square matrix read as its transpose, so every index of the product is exercised.
TEST(Substitute, MultipliesTransposedOperands) {
    Fixture f;
    const Handle device = f.device.get();
    constexpr std::uint64_t kSquare = 134217728;
    constexpr std::uint64_t kNarrow = kSquare / 16;
    const auto tensor = [](std::uint32_t rows, std::uint32_t columns) {
        return gemm::TensorDesc{gemm::TensorDataType::Float16, 0, {1, 1, rows, columns}, 2ull * rows * columns, 0};
    };
    gemm::GemmDesc desc;
    desc.a = tensor(8192, 512);
    desc.b = tensor(8192, 8192);
    desc.output = tensor(512, 8192);
    desc.transA = desc.transB = gemm::MatrixTransform::Transpose;

    const gemm::InputMatrices& inputs = dmltest::PatternInputs();
    const gemm::ComRef upload =
        gemm::CreateBuffer(f.fake, device, 2 * kSquare, HeapType::Upload, ResourceState::GenericRead);
    gemm::UploadMatrix(f.fake, upload.get(), inputs.a, 0);
    gemm::UploadMatrix(f.fake, upload.get(), inputs.b, kSquare);
    const gemm::ComRef a = gemm::CreateBuffer(f.fake, device, kSquare, HeapType::Default, ResourceState::CopyDest);
    const gemm::ComRef b = gemm::CreateBuffer(f.fake, device, kSquare, HeapType::Default, ResourceState::CopyDest);
    const gemm::ComRef output =
        gemm::CreateBuffer(f.fake, device, kNarrow, HeapType::Default, ResourceState::UnorderedAccess);
    const gemm::ComRef readback = gemm::CreateBuffer(f.fake, device, 16, HeapType::Readback, ResourceState::CopyDest);
    Handle dml = 0, op = 0, compiled = 0, initializer = 0, recorder = 0, heap = 0, initTable = 0, table = 0;
    ASSERT_EQ(f.fake.DmlCreateDevice(0xD31, device, &dml), 0);
    ASSERT_EQ(f.fake.CreateGemmOperator(dml, desc, &op), 0);
    f.fake.CompileOperator(dml, op, gemm::kExecutionFlagNone, &compiled);
    f.fake.CreateOperatorInitializer(dml, compiled, &initializer);
    f.fake.CreateCommandRecorder(dml, &recorder);
    f.fake.CreateDescriptorHeap(device, 4, &heap);
    f.fake.CreateBindingTable(dml, initializer, f.fake.GetHeapStart(heap), 4, &initTable);
    f.fake.CreateBindingTable(dml, compiled, f.fake.GetHeapStart(heap), 4, &table);
    const gemm::BufferBinding none;
    f.fake.BindOutputs(initTable, std::span(&none, 1));
    const gemm::BufferBinding inputBindings[3] = {
        {gemm::BindingType::Buffer, a.get(), 0, kNarrow}, {gemm::BindingType::Buffer, b.get(), 0, kSquare}, {}};
    f.fake.BindInputs(table, inputBindings);
    const gemm::BufferBinding outputBinding{gemm::BindingType::Buffer, output.get(), 0, kNarrow};
    f.fake.BindOutputs(table, std::span(&outputBinding, 1));

    gemm::D3d12Context context(f.fake, device);
    const Handle list = context.list.get();
    f.fake.SetDescriptorHeap(list, heap);
    f.fake.RecordDispatch(recorder, list, initializer, initTable);
    f.fake.CopyBufferRegion(list, a.get(), 0, upload.get(), 0, kSquare);
    f.fake.CopyBufferRegion(list, b.get(), 0, upload.get(), kSquare, kSquare);
    f.fake.TransitionBarrier(list, a.get(), ResourceState::CopyDest, ResourceState::UnorderedAccess);
    f.fake.TransitionBarrier(list, b.get(), ResourceState::CopyDest, ResourceState::UnorderedAccess);
    f.fake.RecordDispatch(recorder, list, compiled, table);
    f.fake.TransitionBarrier(list, output.get(), ResourceState::UnorderedAccess, ResourceState::CopySource);
    const std::uint32_t positions[3][2] = {{0, 0}, {17, 456}, {511, 8191}};
    for (std::uint64_t i = 0; i < 3; ++i) {
        f.fake.CopyBufferRegion(list, readback.get(), 2 * i, output.get(),
                                2ull * (positions[i][0] * 8192ull + positions[i][1]), 2);
    }
    f.fake.CloseList(list);
    context.SubmitAndWait(device, list);
    std::uint16_t values[3] = {};
    gemm::ReadBack(f.fake, readback.get(), values, sizeof values);
    for (int i = 0; i < 3; ++i) {
        // C[r][c] = sum over k of A(stored k, r) * B(stored c, k).
        const std::uint64_t r = positions[i][0], c = positions[i][1];
        float sum = 0.0f;
        for (std::uint64_t k = 0; k < 8192; ++k) {
            sum += gemm::HalfToFloat(inputs.a[k * 512 + r]) * gemm::HalfToFloat(inputs.b[c * 8192 + k]);
        }
        EXPECT_EQ(values[i], gemm::FloatToHalf(sum)) << r << ", " << c;
    }
    EXPECT_TRUE(f.fake.errors.empty()) << f.fake.errors.front();
    for (Handle made : {table, initTable, heap, recorder, initializer, compiled, op, dml}) f.fake.Release(made);
}

}  // namespace
