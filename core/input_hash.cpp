// XXH64 (xxHash, 64-bit, seed 0) over A's bytes followed by B's. Both matrices are whole
// multiples of the 32-byte stripe, so the stream runs straight through from A into B.
#include <algorithm>
#include <cstring>
#include <span>

#include "core/input_matrices.h"

namespace gemm {
namespace {

constexpr std::uint64_t kPrime1 = 0x9E3779B185EBCA87ull;
constexpr std::uint64_t kPrime2 = 0xC2B2AE3D27D4EB4Full;
constexpr std::uint64_t kPrime3 = 0x165667B19E3779F9ull;
constexpr std::uint64_t kPrime4 = 0x85EBCA77C2B2AE63ull;
constexpr std::uint64_t kPrime5 = 0x27D4EB2F165667C5ull;

constexpr std::uint64_t RotateLeft(std::uint64_t value, int bits) {
    return (value << bits) | (value >> (64 - bits));
}

constexpr std::uint64_t Round(std::uint64_t accumulator, std::uint64_t input) {
    return RotateLeft(accumulator + input * kPrime2, 31) * kPrime1;
}

constexpr std::uint64_t MergeRound(std::uint64_t hash, std::uint64_t accumulator) {
    return (hash ^ Round(0, accumulator)) * kPrime1 + kPrime4;
}

// The program runs on little-endian x86-64 only, where the bytes in memory are the
// little-endian words XXH64 reads.
std::uint64_t Read64(const unsigned char* p) {
    std::uint64_t value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

std::uint32_t Read32(const unsigned char* p) {
    std::uint32_t value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

}  // namespace

std::uint64_t Xxh64(std::span<const std::span<const unsigned char>> parts) {
    std::uint64_t lanes[4] = {kPrime1 + kPrime2, kPrime2, 0, 0 - kPrime1};
    unsigned char pending[32];
    std::size_t pendingSize = 0;
    std::uint64_t total = 0;
    const auto stripe = [&lanes](const unsigned char* p) {
        for (int i = 0; i < 4; ++i) lanes[i] = Round(lanes[i], Read64(p + 8 * i));
    };
    for (const std::span<const unsigned char> part : parts) {
        const unsigned char* p = part.data();
        std::size_t size = part.size();
        total += size;
        if (pendingSize > 0) {
            const std::size_t take = std::min(size, sizeof pending - pendingSize);
            std::memcpy(pending + pendingSize, p, take);
            pendingSize += take;
            p += take;
            size -= take;
            if (pendingSize < sizeof pending) continue;
            stripe(pending);
            pendingSize = 0;
        }
        for (; size >= 32; p += 32, size -= 32) stripe(p);
        std::memcpy(pending, p, size);
        pendingSize = size;
    }

    std::uint64_t hash;
    if (total >= 32) {
        hash = RotateLeft(lanes[0], 1) + RotateLeft(lanes[1], 7) + RotateLeft(lanes[2], 12) +
               RotateLeft(lanes[3], 18);
        for (const std::uint64_t lane : lanes) hash = MergeRound(hash, lane);
    } else {
        hash = kPrime5;
    }
    hash += total;

    const unsigned char* p = pending;
    std::size_t size = pendingSize;
    for (; size >= 8; p += 8, size -= 8) hash = RotateLeft(hash ^ Round(0, Read64(p)), 27) * kPrime1 + kPrime4;
    if (size >= 4) {
        hash = RotateLeft(hash ^ (std::uint64_t{Read32(p)} * kPrime1), 23) * kPrime2 + kPrime3;
        p += 4;
        size -= 4;
    }
    for (; size > 0; ++p, --size) hash = RotateLeft(hash ^ (*p * kPrime5), 11) * kPrime1;

    hash ^= hash >> 33;
    hash *= kPrime2;
    hash ^= hash >> 29;
    hash *= kPrime3;
    hash ^= hash >> 32;
    return hash;
}

std::uint64_t HashInputMatrices(const InputMatrices& inputs) {
    const std::span<const unsigned char> parts[] = {
        {reinterpret_cast<const unsigned char*>(inputs.a.data()), inputs.a.size() * sizeof(std::uint16_t)},
        {reinterpret_cast<const unsigned char*>(inputs.b.data()), inputs.b.size() * sizeof(std::uint16_t)}};
    return Xxh64(parts);
}

}  // namespace gemm
