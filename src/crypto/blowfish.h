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

namespace tessaly::blowfish {

constexpr std::size_t blockSize = 8;
constexpr std::size_t maxKeySize = 56;

struct BlowfishState {
    std::array<std::uint32_t, 18> p;                // P0..P17
    std::array<std::array<std::uint32_t, 256>, 4> s;  // S0..S3
};

// The digits of pi that every schedule starts from.
extern const std::array<std::uint32_t, 18> initialP;
extern const std::array<std::array<std::uint32_t, 256>, 4> initialS;

enum class Direction { encipher, decipher };

// Sets the state to the initial constants.
void reset(BlowfishState& state);
// Mixes in a key of 1 to 56 bytes (521 encipherments); an empty key leaves the state alone.
void setKey(BlowfishState& state, std::span<const std::uint8_t> key);
void encipherBlock(const BlowfishState& state, std::uint32_t& left, std::uint32_t& right);
void decipherBlock(const BlowfishState& state, std::uint32_t& left, std::uint32_t& right);
// Transforms blockCount whole blocks in place, several at a time.
void cryptBlocks(const BlowfishState& state, std::uint8_t* blocks, std::size_t blockCount,
                 Direction direction);

}  // namespace tessaly::blowfish
