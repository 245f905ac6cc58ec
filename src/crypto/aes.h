// AES (FIPS 197) with 128-, 192- and 256-bit keys: a bitsliced engine (the S-box computed by
// a circuit, four blocks per 64-bit lane), and AES-NI with interleaved blocks where the
// processor has it. All give the same bytes, and none reads a table at an address or takes a
// branch that depends on the key or the data.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "direction.h"

namespace tessaly::aes {

constexpr std::size_t blockSize = 16;

// Round keys as big-endian words, FIPS 197 column order.
struct AesEngine {
    // Keys the engine with 16, 24 or 32 bytes; returns false for any other size (the engine
    // is then left unkeyed). The decipher keys are derived only for use == decipher.
    bool setKey(std::span<const std::uint8_t> key, Direction use);
    // Transforms blockCount whole blocks in place, in electronic-codebook order.
    void cryptBlocks(std::uint8_t* blocks, std::size_t blockCount, Direction direction) const;

    std::array<std::uint32_t, 64> encipherKeys;  // the expanded key: 4 * (rounds + 1) words
    std::array<std::uint32_t, 64> decipherKeys;  // equivalent inverse cipher, in use order
    std::int32_t rounds;                         // 10, 12 or 14
};

// The ways the engine can run: "bitsliced" always, "bitsliced-2x64" (two lanes in a 128-bit
// register) where every processor of the target has one, "aes-ni" where the processor has it,
// "vaes" (two blocks per instruction) where it also has VAES and AVX2.
// Each keys an engine (as AesEngine::setKey does, with its own SubWord and InvMixColumns; all
// give the same round keys) and transforms blockCount blocks in place with a keyed engine.
using SetKeyFunction = bool (*)(AesEngine&, std::span<const std::uint8_t>, Direction);
using BlocksFunction = void (*)(const AesEngine&, std::uint8_t*, std::size_t, Direction);
struct Path {
    const char* name;
    SetKeyFunction setKey;
    BlocksFunction cryptBlocks;
};
std::span<const Path> availablePaths();

}  // namespace tessaly::aes
