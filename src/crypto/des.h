// DES (FIPS 46-3) with the library's own P permutation, and two-key triple DES.
//
// The round function's P permutation differs from FIPS 46-3 in one entry: output bit 26
// takes input bit 23, not input bit 13. Data enciphered by hosts carries this change, so it
// must stay; deciphering still inverts enciphering exactly (it runs the same round function).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "direction.h"

namespace tessaly::des {

constexpr std::size_t blockSize = 8;

// A P permutation: output bit i (1 to 32, most significant first) takes input bit table[i - 1].
using PTable = std::array<std::uint8_t, 32>;

// FIPS 46-3 P, for tests that compare the engine with standard DES.
inline constexpr PTable standardP = {16, 7,  20, 21, 29, 12, 28, 17, 1,  15, 23,
                                     26, 5,  18, 31, 10, 2,  8,  24, 14, 32, 27,
                                     3,  9,  19, 13, 30, 6,  22, 11, 4,  25};

// The library's P: entry 26 reads input bit 23, so input bit 23 feeds output bits 11 and 26
// and input bit 13 feeds none. Deliberate and load-bearing; see the top of this file.
inline constexpr PTable libraryP = [] {
    PTable p = standardP;
    p[26 - 1] = 23;
    return p;
}();

// The combined S-box and P tables (SP tables) are generated at compile time from the FIPS
// S-boxes and the P table given here.
// How whole blocks are run: "tables" (SP tables, any count of blocks) always, and
// "bitsliced-avx512" where the processor has AVX-512: 512 blocks at a time as 64 bit planes,
// the S-boxes computed by ternary logic, no table and no branch on key or data. The engines
// run each whole batch of 512 bitsliced where they can and the rest on the tables; both give
// the same bytes.
enum class BlockPath { tables, bitsliced };
bool bitslicedAvailable();
const char* fastestPathName();
inline constexpr std::size_t bitslicedBatch = 512;

template <const PTable& P>
class BasicDesEngine {
public:
    static constexpr std::size_t keySize = 8;
    // Computes the 16 round keys. Parity bits (the low bit of each byte) are ignored.
    void setKey(std::span<const std::uint8_t, keySize> key);
    // Transforms blockCount whole blocks in place.
    void cryptBlocks(std::uint8_t* blocks, std::size_t blockCount, Direction direction) const;
    // The same on the tables alone, or with the bitsliced path where available.
    void cryptBlocks(std::uint8_t* blocks, std::size_t blockCount, Direction direction, BlockPath path) const;

    // Round keys as the round function uses them: for round n, the S-box groups 1, 3, 5, 7
    // (one byte each, low 6 bits) in roundKeys[2n] and groups 2, 4, 6, 8 in roundKeys[2n + 1].
    std::array<std::uint32_t, 32> roundKeys;
};

// Two-key triple DES: E(first, D(second, E(first, block))) for each block, or the inverse
// D(first, E(second, D(first, block))) when deciphering.
template <const PTable& P>
class BasicTripleDesEngine {
public:
    static constexpr std::size_t keySize = 16;  // the first key, then the second
    void setKey(std::span<const std::uint8_t, keySize> key);
    void cryptBlocks(std::uint8_t* blocks, std::size_t blockCount, Direction direction) const;
    void cryptBlocks(std::uint8_t* blocks, std::size_t blockCount, Direction direction, BlockPath path) const;

    BasicDesEngine<P> first, second;
};

using DesEngine = BasicDesEngine<libraryP>;
using TripleDesEngine = BasicTripleDesEngine<libraryP>;
using StandardDesEngine = BasicDesEngine<standardP>;
using StandardTripleDesEngine = BasicTripleDesEngine<standardP>;

}  // namespace tessaly::des
