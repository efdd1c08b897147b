// Discovery and the run's early failures with Wine's default adapter, through the real calls.

#include <gtest/gtest.h>

#include "dml/adapter_discovery.h"
#include "dml/d3d12_context.h"
#include "dml/win32_platform.h"
#include "tests/dml/real_stack.h"

namespace {

void ExpectRunError(AdapterLuid luid, const char* text) {
    try {
        gemm::RunDirectMl(luid, std::stop_token{}, [](int) { FAIL() << "progress called"; });
        ADD_FAILURE() << "the run did not fail";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), text);
    }
}

TEST(RealDefaultAdapter, DiscoveryListsNothingAndUnknownAdapterOrLibraryFail) {
    REQUIRE_REAL_STACK();
    realstack::InstallDirectMl(true);
    {
        // "Nothing listed" means something only with a working stack: Wine's one adapter is
        // its NVIDIA card, and Direct3D 12 makes a device on it.
        gemm::Win32DmlPlatform p;
        const gemm::ComRef factory = gemm::CreateDxgiFactory(p);
        gemm::Handle object = 0;
        ASSERT_GE(p.EnumAdapters(factory.get(), 0, &object), 0);
        const gemm::ComRef adapter(p, object);
        EXPECT_EQ(p.EnumAdapters(factory.get(), 1, &object), gemm::kDxgiErrorNotFound);
        gemm::AdapterDesc desc{};
        ASSERT_GE(p.GetAdapterDesc(adapter.get(), &desc), 0);
        EXPECT_EQ(desc.vendorId, 0x10DEu);
        ASSERT_GE(p.CreateDevice(adapter.get(), &object), 0);
        const gemm::ComRef device(p, object);
    }
    EXPECT_TRUE(gemm::FindDirectMlAdapters().empty());  // NVIDIA cards are left to CUDA
    ExpectRunError(AdapterLuid{0x12345, 7}, "Find the selected DirectML GPU (0x887A0002)");
    realstack::InstallDirectMl(false);
    ExpectRunError(AdapterLuid{0x12345, 7}, "DirectML.dll is unavailable");
}

}  // namespace
