// The run as the product makes it, inputs from the real generator, against the substitute.

#include <gtest/gtest.h>

#include "dml/directml_run.h"
#include "tests/dml/fake_platform.h"

namespace {

TEST(DirectMlRun, ProductInputsAreUploadedComputedAndValidated) {
    FakePlatform fake;
    std::vector<int> progress;
    gemm::AbandonedAdapters abandoned;
    gemm::RunDirectMl(
        fake, AdapterLuid{0x1111, 0}, std::stop_token{},
        [&](int value) { progress.push_back(value); }, gemm::MakeInputMatrices, abandoned);
    EXPECT_EQ(progress, (std::vector<int>{0, 1, 2, 3, 4, 5}));
    EXPECT_TRUE(fake.errors.empty());
    EXPECT_TRUE(fake.Leaks().empty());
}

}  // namespace
