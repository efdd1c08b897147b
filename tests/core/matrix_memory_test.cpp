#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <new>
#include <utility>

#include "core/benchmark.h"
#include "core/half_matrix.h"

namespace {

TEST(MatrixMemoryTest, EachMatrixIsAHugePageAdvisedMappingOfItsOwnReleasedOnceByItsOwner) {
#if defined(__linux__)
    const auto bytes = static_cast<std::size_t>(BenchmarkPlan::bytesPerMatrix);
    std::uintptr_t start = 0;
    {
        gemm::HalfMatrix owner;
        {
            gemm::HalfMatrix matrix;
            matrix.reserve(static_cast<std::size_t>(BenchmarkPlan::elementsPerMatrix));
            start = reinterpret_cast<std::uintptr_t>(matrix.data());
            EXPECT_EQ(start % gemm::kHugePageBytes, 0u);
            const auto mapping = gemm::MappingHolding(matrix.data());
            ASSERT_TRUE(mapping.has_value());
            // Exactly the matrix: what was mapped beyond it for the alignment is unmapped again.
            EXPECT_EQ(mapping->start, start);
            EXPECT_EQ(mapping->end, start + bytes);
            EXPECT_TRUE(mapping->hugePagesAdvised);
            owner = std::move(matrix);
        }
        EXPECT_TRUE(gemm::MappingHolding(reinterpret_cast<const void*>(start)).has_value())
            << "released by the matrix it was moved away from";
    }
    EXPECT_FALSE(gemm::MappingHolding(reinterpret_cast<const void*>(start)).has_value());
    EXPECT_FALSE(gemm::MappingHolding(reinterpret_cast<const void*>(start + bytes - 1)).has_value());
#else
    GTEST_SKIP() << "Windows keeps the standard allocator";
#endif
}

TEST(MatrixMemoryTest, AllocationFailureIsTheStandardException) {
    gemm::HalfMatrix matrix;
    EXPECT_THROW(matrix.reserve(std::numeric_limits<std::size_t>::max() / 4), std::bad_alloc);
}

TEST(HalfMatrixTest, CopiesAreDeepAndGrowthKeepsTheElements) {
    gemm::HalfMatrix matrix;
    for (std::uint16_t value = 1; value <= 3; ++value) {
        matrix.push_back(value);
    }
    gemm::HalfMatrix copy = matrix;
    copy[0] = 9;
    EXPECT_EQ(matrix[0], 1);
    EXPECT_FALSE(copy == matrix);

    const std::size_t grown = matrix.capacity() + 1;  // into larger memory
    matrix.resize(grown);
    ASSERT_EQ(matrix.size(), grown);
    EXPECT_EQ(matrix[2], 3);
    EXPECT_EQ(matrix[3], 0);
    EXPECT_EQ(matrix[grown - 1], 0);
    matrix.resize(1);
    matrix.resize(2);  // what comes back is zero, not the old element
    EXPECT_EQ(matrix[1], 0);
}

}  // namespace
