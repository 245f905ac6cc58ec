// Base64 engine: RFC 4648 alphabet and "=" padding, with the library's own decoding rules.
//
// Decoding rejects nothing. It reads whole groups of four characters, maps each through the
// decoding table (255 for anything outside the alphabet, "=" included) and counts the 255s:
//   two   -> 1 byte, plus the spare byte (d1 << 4) right behind it
//   one   -> 2 bytes, plus the spare byte (d2 << 6) right behind them
//   other -> 3 bytes, computed from the values as they are, 255s included
// A padded group does not end the text, and one to three characters left over at the end are
// ignored. Hosts rely on every one of these outcomes, the spare byte included.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace tessaly::base64 {

constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::uint8_t padCharacter = '=';
constexpr std::uint8_t invalidValue = 255;

// Decoding table over all 256 byte values: the alphabet maps to 0..63, everything else
// (the pad, line breaks, bytes above 127) to 255.
inline constexpr std::array<std::uint8_t, 256> decodingTable = [] {
    std::array<std::uint8_t, 256> table{};
    table.fill(invalidValue);
    for (std::uint8_t value = 0; value < 64; ++value)
        table[static_cast<std::uint8_t>(alphabet[value])] = value;
    return table;
}();

// Characters that encoding n bytes writes: 4 * ceil(n / 3).
constexpr std::size_t encodedSize(std::size_t n) { return (n + 2) / 3 * 4; }
// Most bytes that decoding n characters writes, spare byte included: 3 * floor(n / 4).
constexpr std::size_t decodedCapacity(std::size_t n) { return n / 4 * 3; }

// Writes encodedSize(input.size()) characters (no terminating zero) and returns that count.
// output must not overlap input.
std::size_t encode(std::span<const std::uint8_t> input, std::uint8_t* output);

// Writes at most decodedCapacity(input.size()) bytes and returns the counted result length.
// output may be input.data() (in place).
std::size_t decode(std::span<const std::uint8_t> input, std::uint8_t* output);

// The ways the engine can run, for tests and benchmarks. Every one gives the same bytes.
using EncodeFunction = std::size_t (*)(std::span<const std::uint8_t>, std::uint8_t*);
using DecodeFunction = std::size_t (*)(std::span<const std::uint8_t>, std::uint8_t*);
struct Path {
    const char* name;
    EncodeFunction encode;
    DecodeFunction decode;
};

// "plain": the rules above, group by group, as the reference. "tables": the portable fast
// path (12-bit encoding table, four shifted decoding tables). "ssse3": sixteen characters
// at a time where the processor has SSSE3; "avx2": thirty-two where it has AVX2. Only paths
// this processor can run are listed.
std::span<const Path> availablePaths();

// The path encode() and decode() use, chosen once from the processor's features.
const Path& fastestPath();

}  // namespace tessaly::base64
