// The three scramblers against models from their rules (the chain byte, the buffer as one
// long string of bits rotated as a whole, the table built from its swaps), and each direction
// undoing the other. Buffers are exactly their length.
#include <array>
#include <cstdint>
#include <utility>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "tessaly.h"

namespace {

using tessaly::fuzzing::ExactBytes;
using tessaly::fuzzing::FuzzInput;
using tessaly::fuzzing::require;
using Bytes = std::vector<std::uint8_t>;

Bytes chained(Bytes bytes, std::uint8_t seed, bool chaining) {
    std::uint8_t chain = seed;
    for (auto& byte : bytes) {
        const std::uint8_t in = byte;
        byte = static_cast<std::uint8_t>(in ^ chain);
        chain = chaining ? byte : in;
    }
    return bytes;
}

// Bit j of the result is bit (j + count) of the input, in direction 0; bits run from the most
// significant bit of byte 0.
Bytes rotated(const Bytes& bytes, unsigned count, bool towardsStart) {
    const std::size_t bits = bytes.size() * 8;
    Bytes result(bytes.size(), 0);
    const auto bitAt = [&](std::size_t i) { return bytes[i / 8] >> (7 - i % 8) & 1; };
    for (std::size_t j = 0; j < bits; ++j) {
        const std::size_t from = towardsStart ? (j + count) % bits : (j + bits - count % bits) % bits;
        result[j / 8] = static_cast<std::uint8_t>(result[j / 8] | bitAt(from) << (7 - j % 8));
    }
    return result;
}

std::array<std::uint8_t, 256> substitutionTable() {
    std::array<std::uint8_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) table[i] = static_cast<std::uint8_t>(i >= 32 && i <= 122 ? 154 - i : i);
    for (auto [a, b] : {std::pair{56, 65}, {3, 30}, {10, 123}, {29, 31}, {17, 71}}) std::swap(table[a], table[b]);
    return table;
}

Bytes substituted(Bytes bytes, bool inverse) {
    static const auto forward = substitutionTable();
    std::array<std::uint8_t, 256> table = forward;
    if (inverse)
        for (unsigned i = 0; i < 256; ++i) table[forward[i]] = static_cast<std::uint8_t>(i);
    for (auto& byte : bytes) byte = table[byte];
    return bytes;
}

// Runs a scrambler on an exact copy of data and checks it gave expected; then the other
// direction on that must give data back.
template <typename Scramble>
void check(const Bytes& data, const Bytes& expected, Scramble scramble, std::int32_t direction, std::int32_t undo) {
    ExactBytes buffer(data);
    scramble(buffer.data(), buffer.length(), direction);
    require(buffer == expected);
    scramble(buffer.data(), buffer.length(), undo);
    require(buffer == data);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const std::int32_t seed = input.int32(), count = input.int32();
    const std::int32_t direction = input.int32();  // any value but 0 is the second direction
    const bool second = direction != 0;
    const std::int32_t other = second ? 0 : input.int32() | 1;
    const auto rest = input.rest();
    const Bytes bytes(rest.begin(), rest.end());

    check(bytes, chained(bytes, static_cast<std::uint8_t>(seed), second),
          [&](std::uint8_t* b, std::int32_t n, std::int32_t d) { Exclusive_OR(b, n, seed, d); }, direction, other);
    check(bytes, rotated(bytes, static_cast<std::uint32_t>(count) & 0xFF, !second),
          [&](std::uint8_t* b, std::int32_t n, std::int32_t d) { Shift_Data(b, n, count, d); }, direction, other);
    check(bytes, substituted(bytes, second), Substitution, direction, other);

    // A length of 0 or below changes nothing, and reads nothing.
    ExactBytes none(0);
    Exclusive_OR(none.data(), -static_cast<std::int32_t>(bytes.size()), seed, direction);
    Shift_Data(none.data(), -static_cast<std::int32_t>(bytes.size()), count, direction);
    Substitution(none.data(), -static_cast<std::int32_t>(bytes.size()), direction);
    return 0;
}
