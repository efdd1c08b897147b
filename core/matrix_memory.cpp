#include "core/matrix_memory.h"

#include <limits>
#include <new>
#include <utility>

#if defined(__linux__)
#include <sys/mman.h>

#include <charconv>
#include <fstream>
#include <sstream>
#include <string>
#else
#include <memory>
#endif

namespace gemm {

#if defined(__linux__)

MatrixMemory::MatrixMemory(std::size_t capacity) {
    if (capacity == 0) {
        return;
    }
    constexpr std::size_t kMaxBytes = std::numeric_limits<std::size_t>::max() - 2 * kHugePageBytes;
    if (capacity > kMaxBytes / sizeof(std::uint16_t)) {
        throw std::bad_alloc();
    }
    const std::size_t length =
        (capacity * sizeof(std::uint16_t) + kHugePageBytes - 1) / kHugePageBytes * kHugePageBytes;
    // mmap aligns to 4 KiB only: map one huge page more and give back what lies before the
    // first 2 MiB boundary and after the length that follows it.
    void* const mapped =
        mmap(nullptr, length + kHugePageBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) {
        throw std::bad_alloc();
    }
    auto* const first = static_cast<unsigned char*>(mapped);
    const std::size_t head =
        (kHugePageBytes - reinterpret_cast<std::uintptr_t>(first) % kHugePageBytes) % kHugePageBytes;
    unsigned char* const start = first + head;
    if (head > 0) {
        munmap(first, head);
    }
    munmap(start + length, kHugePageBytes - head);
    // Without huge pages in the kernel this fails, and 4 KiB pages serve as before.
    madvise(start, length, MADV_HUGEPAGE);
    start_ = reinterpret_cast<std::uint16_t*>(start);
    capacity_ = length / sizeof(std::uint16_t);
}

void MatrixMemory::Release() noexcept {
    if (start_ != nullptr) {
        munmap(start_, capacity_ * sizeof(std::uint16_t));
    }
}

std::optional<MappingFacts> MappingHolding(const void* address) {
    const auto wanted = reinterpret_cast<std::uintptr_t>(address);
    std::ifstream smaps("/proc/self/smaps");
    std::optional<MappingFacts> found;
    std::string line;
    while (std::getline(smaps, line)) {
        std::istringstream fields(line);
        std::string key;
        fields >> key;
        if (key.empty()) {
            continue;
        }
        if (key.back() != ':') {
            // A mapping's first line: "start-end perms offset device inode [path]", in hex.
            if (found) {
                break;  // the fields of the wanted mapping are complete
            }
            MappingFacts mapping{};
            const char* const text = key.data();
            const char* const end = text + key.size();
            const auto [dash, error] = std::from_chars(text, end, mapping.start, 16);
            if (error != std::errc{} || dash == end || *dash != '-' ||
                std::from_chars(dash + 1, end, mapping.end, 16).ec != std::errc{}) {
                continue;
            }
            if (mapping.start <= wanted && wanted < mapping.end) {
                found = mapping;
            }
        } else if (found && key == "AnonHugePages:") {
            std::size_t kibibytes = 0;
            fields >> kibibytes;
            found->hugePageBytes = kibibytes * 1024;
        } else if (found && key == "VmFlags:") {
            std::string flag;
            while (fields >> flag) {
                found->hugePagesAdvised = found->hugePagesAdvised || flag == "hg";
            }
        }
    }
    return found;
}

#else

MatrixMemory::MatrixMemory(std::size_t capacity) {
    if (capacity > 0) {
        start_ = std::allocator<std::uint16_t>().allocate(capacity);
        capacity_ = capacity;
    }
}

void MatrixMemory::Release() noexcept {
    if (start_ != nullptr) {
        std::allocator<std::uint16_t>().deallocate(start_, capacity_);
    }
}

#endif

MatrixMemory::~MatrixMemory() {
    Release();
}

MatrixMemory::MatrixMemory(MatrixMemory&& other) noexcept
    : start_(std::exchange(other.start_, nullptr)), capacity_(std::exchange(other.capacity_, 0)) {}

MatrixMemory& MatrixMemory::operator=(MatrixMemory&& other) noexcept {
    if (this != &other) {
        Release();
        start_ = std::exchange(other.start_, nullptr);
        capacity_ = std::exchange(other.capacity_, 0);
    }
    return *this;
}

}  // namespace gemm
