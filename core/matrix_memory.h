#pragma once
// The memory of the input matrices. A and B are 256 MiB of fresh memory, whose first touch
// in 4 KiB pages (65,536 page faults) dominated their preparation. On Linux each matrix
// therefore gets a mapping of its own, aligned to 2 MiB and advised for transparent huge
// pages: 128 faults where the kernel has huge pages to give, and 4 KiB pages as before
// where it has none. Windows keeps the standard allocator: its large pages need a privilege
// that ordinary users do not hold.

#include <cstddef>
#include <cstdint>

#if defined(__linux__)
#include <optional>
#endif

namespace gemm {

// Room for at least `capacity` FP16 values, released once by its one owner. Fresh memory is
// not touched: its pages are faulted in by the first write.
class MatrixMemory {
public:
    MatrixMemory() = default;
    explicit MatrixMemory(std::size_t capacity);  // throws std::bad_alloc; 0 holds nothing
    ~MatrixMemory();
    MatrixMemory(MatrixMemory&& other) noexcept;
    MatrixMemory& operator=(MatrixMemory&& other) noexcept;
    MatrixMemory(const MatrixMemory&) = delete;
    MatrixMemory& operator=(const MatrixMemory&) = delete;

    std::uint16_t* Data() const { return start_; }
    // On Linux the whole mapping, whole huge pages: at least the capacity asked for.
    std::size_t Capacity() const { return capacity_; }

private:
    void Release() noexcept;

    std::uint16_t* start_ = nullptr;
    std::size_t capacity_ = 0;
};

#if defined(__linux__)

inline constexpr std::size_t kHugePageBytes = std::size_t{2} << 20;

// What the kernel reports in /proc/self/smaps for the mapping that holds an address, for
// tests and benchmarks to see what the matrices got; nullopt when no mapping holds it.
struct MappingFacts {
    std::uintptr_t start;
    std::uintptr_t end;
    bool hugePagesAdvised;      // madvise(MADV_HUGEPAGE) is in effect
    std::size_t hugePageBytes;  // backed by transparent huge pages now
};
std::optional<MappingFacts> MappingHolding(const void* address);

#endif

}  // namespace gemm
