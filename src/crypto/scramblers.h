// The three byte scramblers: XOR chaining, rotation of the buffer as one bit string, and a
// fixed byte substitution. Each direction undoes the other.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace tessaly::scramblers {

// out[i] = in[i] ^ out[i - 1] (chaining) or in[i] ^ in[i - 1] (unchaining); the seed stands
// before the first byte.
void chainXor(std::uint8_t* data, std::size_t length, std::uint8_t seed);
void unchainXor(std::uint8_t* data, std::size_t length, std::uint8_t seed);

// Rotates the 8 * length bits (byte 0 first, most significant bit first) by count positions
// towards byte 0, or towards the last byte.
void rotateBits(std::uint8_t* data, std::size_t length, unsigned count, bool towardsStart);

// Replaces every byte through the table T, or through its inverse U.
void substitute(std::uint8_t* data, std::size_t length, bool inverse);

// The ways the scramblers can run: "plain" (the loops as specified, the reference) first,
// then the fastest this processor offers. All give the same bytes.
struct Path {
    const char* name;
    void (*chainXor)(std::uint8_t*, std::size_t, std::uint8_t);
    void (*unchainXor)(std::uint8_t*, std::size_t, std::uint8_t);
    // Rotates by wholeBytes (below length) and then bits (0 to 7) positions, in one pass on
    // the fast paths.
    void (*rotate)(std::uint8_t*, std::size_t, std::size_t wholeBytes, unsigned bits, bool towardsStart);
    void (*substitute)(std::uint8_t*, std::size_t, bool inverse);
};
std::span<const Path> availablePaths();

}  // namespace tessaly::scramblers
