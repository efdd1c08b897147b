#include "core/half_matrix.h"

#include <algorithm>
#include <utility>

namespace gemm {

HalfMatrix::HalfMatrix(const HalfMatrix& other) : memory_(other.size_), size_(other.size_) {
    std::copy_n(other.data(), size_, data());
}

HalfMatrix& HalfMatrix::operator=(const HalfMatrix& other) {
    if (this != &other) {
        *this = HalfMatrix(other);
    }
    return *this;
}

HalfMatrix::HalfMatrix(HalfMatrix&& other) noexcept
    : memory_(std::move(other.memory_)), size_(std::exchange(other.size_, 0)) {}

HalfMatrix& HalfMatrix::operator=(HalfMatrix&& other) noexcept {
    memory_ = std::move(other.memory_);
    size_ = std::exchange(other.size_, 0);
    return *this;
}

void HalfMatrix::reserve(std::size_t elements) {
    if (elements > capacity()) {
        Reallocate(elements);
    }
}

void HalfMatrix::resize(std::size_t count) {
    reserve(count);
    if (count > size_) {
        std::fill(end(), data() + count, std::uint16_t{0});
    }
    size_ = count;
}

void HalfMatrix::assign(std::size_t count, std::uint16_t value) {
    if (count > capacity()) {
        memory_ = MatrixMemory(count);
    }
    size_ = count;
    std::fill_n(data(), count, value);
}

void HalfMatrix::append(const std::uint16_t* values, std::size_t count) {
    if (count > capacity() - size_) {
        Reallocate(std::max(size_ + count, 2 * capacity()));
    }
    std::copy_n(values, count, end());
    size_ += count;
}

void HalfMatrix::Reallocate(std::size_t elements) {
    MatrixMemory larger(elements);
    std::copy_n(data(), size_, larger.Data());
    memory_ = std::move(larger);
}

bool operator==(const HalfMatrix& x, const HalfMatrix& y) {
    return std::equal(x.begin(), x.end(), y.begin(), y.end());
}

}  // namespace gemm
