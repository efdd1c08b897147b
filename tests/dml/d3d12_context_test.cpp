// Error texts, buffers, upload, read-back and the execution context against the substitute.

#include "dml/d3d12_context.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/dml/fake_platform.h"
#include "tests/dml/test_support.h"

namespace {

using dmltest::ErrorText;
using gemm::Handle;

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

    f.fake.Fail("Signal", FakePlatform::kFail, f.fake.Count("Signal"));
    EXPECT_EQ(ErrorText([&] { context.SubmitAndWait(f.device.get(), context.list.get()); }),
              "Direct3D 12 queue signal (0x80004005)");
    f.fake.Fail("SetEventOnCompletion", static_cast<gemm::HResult>(0x80070057u),
                f.fake.Count("SetEventOnCompletion"));
    EXPECT_EQ(ErrorText([&] { context.SubmitAndWait(f.device.get(), context.list.get()); }),
              "Direct3D 12 fence completion (0x80070057)");
    f.fake.waitFails = true;
    EXPECT_EQ(ErrorText([&] { context.SubmitAndWait(f.device.get(), context.list.get()); }),
              "Direct3D 12 fence wait failed");
    f.fake.waitFails = false;
    f.fake.deviceLostAtSubmission = 1;
    EXPECT_EQ(ErrorText([&] { context.SubmitAndWait(f.device.get(), context.list.get()); }),
              "Direct3D 12 device lost (0x887A0005)");
    EXPECT_TRUE(f.fake.errors.empty());
}

}  // namespace
