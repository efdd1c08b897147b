// Discovery and the run's early failures with Wine's default adapter, through the real calls.

#include <gtest/gtest.h>

#include "dml/adapter_discovery.h"
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
    EXPECT_TRUE(gemm::FindDirectMlAdapters().empty());  // only Wine's NVIDIA card
    ExpectRunError(AdapterLuid{0x12345, 7}, "Find the selected DirectML GPU (0x887A0002)");
    realstack::InstallDirectMl(false);
    ExpectRunError(AdapterLuid{0x12345, 7}, "DirectML.dll is unavailable");
}

}  // namespace
