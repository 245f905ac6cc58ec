// Blowfish in the library's own byte order.
//
// The structure and constants are the published ones, but three byte orders differ from the
// published description, and hosts hold data enciphered this way, so they must stay:
//   - a block's halves L (bytes 1-4) and R (bytes 5-8) are read least significant byte first;
//   - F selects S0 by the least significant byte of its input and S3 by the most significant;
//   - each key word XORed into the P-array takes its first key byte as the least significant.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "direction.h"

namespace tessaly::blowfish {

constexpr std::size_t blockSize = 8;
constexpr std::size_t maxKeySize = 56;

// The digits of pi that every schedule starts from.
extern const std::array<std::uint32_t, 18> initialP;
extern const std::array<std::array<std::uint32_t, 256>, 4> initialS;

struct BlowfishEngine {
    // Starts from the initial constants and mixes in the key (521 encipherments); an empty key
    // leaves the engine unkeyed, on the initial constants. Keys over 56 bytes are the caller's
    // to shorten.
    void setKey(std::span<const std::uint8_t> key);
    // Transforms blockCount whole blocks in place, several at a time.
    void cryptBlocks(std::uint8_t* blocks, std::size_t blockCount, Direction direction) const;

    std::array<std::uint32_t, 18> p;                  // P0..P17
    std::array<std::array<std::uint32_t, 256>, 4> s;  // S0..S3
};

}  // namespace tessaly::blowfish
