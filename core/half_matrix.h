#pragma once
// One matrix's FP16 bit patterns, row-major, in the memory of core/matrix_memory.h (huge
// pages on Linux). The members that the backends and tests use are named as std::vector's,
// so that they read it as they read a vector; copies and growth move whole blocks of memory.

#include <cstddef>
#include <cstdint>

#include "core/matrix_memory.h"

namespace gemm {

class HalfMatrix {
public:
    HalfMatrix() = default;
    HalfMatrix(const HalfMatrix& other);
    HalfMatrix& operator=(const HalfMatrix& other);
    HalfMatrix(HalfMatrix&& other) noexcept;
    HalfMatrix& operator=(HalfMatrix&& other) noexcept;

    std::size_t size() const { return size_; }
    std::size_t capacity() const { return memory_.Capacity(); }
    std::uint16_t* data() { return memory_.Data(); }
    const std::uint16_t* data() const { return memory_.Data(); }
    std::uint16_t* begin() { return data(); }
    std::uint16_t* end() { return data() + size_; }
    const std::uint16_t* begin() const { return data(); }
    const std::uint16_t* end() const { return data() + size_; }
    std::uint16_t& operator[](std::size_t i) { return data()[i]; }
    const std::uint16_t& operator[](std::size_t i) const { return data()[i]; }

    // Room for capacity elements without touching it, so that appending writes each once.
    void reserve(std::size_t elements);
    void resize(std::size_t count);  // elements added are 0
    void assign(std::size_t count, std::uint16_t value);
    void append(const std::uint16_t* values, std::size_t count);  // values from outside the matrix
    void push_back(std::uint16_t value) { append(&value, 1); }

    friend bool operator==(const HalfMatrix& x, const HalfMatrix& y);

private:
    // Moves the elements into fresh memory for at least `elements`.
    void Reallocate(std::size_t elements);

    MatrixMemory memory_;
    std::size_t size_ = 0;
};

}  // namespace gemm
