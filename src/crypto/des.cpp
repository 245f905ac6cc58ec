// DES engine: key schedule, swap-move initial and final permutations, and rounds over SP
// tables generated at compile time from the FIPS 46-3 tables and the chosen P.
#include "des.h"

#include "bytes.h"
#include "wipe.h"

namespace tessaly::des {
namespace {

// ---- FIPS 46-3 tables (bits numbered from 1, most significant first) ---------------------

constexpr std::array<std::uint8_t, 64> initialPermutationTable = {
    58, 50, 42, 34, 26, 18, 10, 2, 60, 52, 44, 36, 28, 20, 12, 4,
    62, 54, 46, 38, 30, 22, 14, 6, 64, 56, 48, 40, 32, 24, 16, 8,
    57, 49, 41, 33, 25, 17, 9,  1, 59, 51, 43, 35, 27, 19, 11, 3,
    61, 53, 45, 37, 29, 21, 13, 5, 63, 55, 47, 39, 31, 23, 15, 7};

constexpr std::array<std::uint8_t, 56> permutedChoice1 = {
    57, 49, 41, 33, 25, 17, 9,  1,  58, 50, 42, 34, 26, 18, 10, 2,  59, 51, 43,
    35, 27, 19, 11, 3,  60, 52, 44, 36, 63, 55, 47, 39, 31, 23, 15, 7,  62, 54,
    46, 38, 30, 22, 14, 6,  61, 53, 45, 37, 29, 21, 13, 5,  28, 20, 12, 4};

constexpr std::array<std::uint8_t, 48> permutedChoice2 = {
    14, 17, 11, 24, 1,  5,  3,  28, 15, 6,  21, 10, 23, 19, 12, 4,
    26, 8,  16, 7,  27, 20, 13, 2,  41, 52, 31, 37, 47, 55, 30, 40,
    51, 45, 33, 48, 44, 49, 39, 56, 34, 53, 46, 42, 50, 36, 29, 32};

constexpr std::array<std::uint8_t, 16> keyRotations = {1, 1, 2, 2, 2, 2, 2, 2,
                                                       1, 2, 2, 2, 2, 2, 2, 1};

constexpr std::uint8_t sboxes[8][4][16] = {
    {{14, 4, 13, 1, 2, 15, 11, 8, 3, 10, 6, 12, 5, 9, 0, 7},
     {0, 15, 7, 4, 14, 2, 13, 1, 10, 6, 12, 11, 9, 5, 3, 8},
     {4, 1, 14, 8, 13, 6, 2, 11, 15, 12, 9, 7, 3, 10, 5, 0},
     {15, 12, 8, 2, 4, 9, 1, 7, 5, 11, 3, 14, 10, 0, 6, 13}},
    {{15, 1, 8, 14, 6, 11, 3, 4, 9, 7, 2, 13, 12, 0, 5, 10},
     {3, 13, 4, 7, 15, 2, 8, 14, 12, 0, 1, 10, 6, 9, 11, 5},
     {0, 14, 7, 11, 10, 4, 13, 1, 5, 8, 12, 6, 9, 3, 2, 15},
     {13, 8, 10, 1, 3, 15, 4, 2, 11, 6, 7, 12, 0, 5, 14, 9}},
    {{10, 0, 9, 14, 6, 3, 15, 5, 1, 13, 12, 7, 11, 4, 2, 8},
     {13, 7, 0, 9, 3, 4, 6, 10, 2, 8, 5, 14, 12, 11, 15, 1},
     {13, 6, 4, 9, 8, 15, 3, 0, 11, 1, 2, 12, 5, 10, 14, 7},
     {1, 10, 13, 0, 6, 9, 8, 7, 4, 15, 14, 3, 11, 5, 2, 12}},
    {{7, 13, 14, 3, 0, 6, 9, 10, 1, 2, 8, 5, 11, 12, 4, 15},
     {13, 8, 11, 5, 6, 15, 0, 3, 4, 7, 2, 12, 1, 10, 14, 9},
     {10, 6, 9, 0, 12, 11, 7, 13, 15, 1, 3, 14, 5, 2, 8, 4},
     {3, 15, 0, 6, 10, 1, 13, 8, 9, 4, 5, 11, 12, 7, 2, 14}},
    {{2, 12, 4, 1, 7, 10, 11, 6, 8, 5, 3, 15, 13, 0, 14, 9},
     {14, 11, 2, 12, 4, 7, 13, 1, 5, 0, 15, 10, 3, 9, 8, 6},
     {4, 2, 1, 11, 10, 13, 7, 8, 15, 9, 12, 5, 6, 3, 0, 14},
     {11, 8, 12, 7, 1, 14, 2, 13, 6, 15, 0, 9, 10, 4, 5, 3}},
    {{12, 1, 10, 15, 9, 2, 6, 8, 0, 13, 3, 4, 14, 7, 5, 11},
     {10, 15, 4, 2, 7, 12, 9, 5, 6, 1, 13, 14, 0, 11, 3, 8},
     {9, 14, 15, 5, 2, 8, 12, 3, 7, 0, 4, 10, 1, 13, 11, 6},
     {4, 3, 2, 12, 9, 5, 15, 10, 11, 14, 1, 7, 6, 0, 8, 13}},
    {{4, 11, 2, 14, 15, 0, 8, 13, 3, 12, 9, 7, 5, 10, 6, 1},
     {13, 0, 11, 7, 4, 9, 1, 10, 14, 3, 5, 12, 2, 15, 8, 6},
     {1, 4, 11, 13, 12, 3, 7, 14, 10, 15, 6, 8, 0, 5, 9, 2},
     {6, 11, 13, 8, 1, 4, 10, 7, 9, 5, 0, 15, 14, 2, 3, 12}},
    {{13, 2, 8, 4, 6, 15, 11, 1, 10, 9, 3, 14, 5, 0, 12, 7},
     {1, 15, 13, 8, 10, 3, 7, 4, 12, 5, 6, 11, 0, 14, 9, 2},
     {7, 11, 4, 1, 9, 12, 14, 2, 0, 6, 10, 13, 15, 3, 5, 8},
     {2, 1, 14, 7, 4, 10, 8, 13, 15, 12, 9, 0, 3, 5, 6, 11}}};

// Output bit i (from 1, most significant first, outputWidth bits) = input bit table[i - 1]
// of an inputWidth-bit value.
template <std::size_t N>
constexpr std::uint64_t selectBits(std::uint64_t input, int inputWidth,
                                   const std::array<std::uint8_t, N>& table) {
    std::uint64_t output = 0;
    for (std::size_t i = 0; i < N; ++i)
        output = output << 1 | (input >> (inputWidth - table[i]) & 1);
    return output;
}

// ---- initial and final permutations as swap-moves ----------------------------------------

// Exchanges the bits of b selected by mask with the bits of a selected by mask << shift.
constexpr void swapMove(std::uint32_t& a, std::uint32_t& b, int shift, std::uint32_t mask) {
    const std::uint32_t t = ((a >> shift) ^ b) & mask;
    b ^= t;
    a ^= t << shift;
}

// IP on the block's two big-endian words; left and right become L0 and R0.
constexpr void initialPermutation(std::uint32_t& left, std::uint32_t& right) {
    swapMove(left, right, 4, 0x0f0f0f0f);
    swapMove(left, right, 16, 0x0000ffff);
    swapMove(right, left, 2, 0x33333333);
    swapMove(right, left, 8, 0x00ff00ff);
    swapMove(left, right, 1, 0x55555555);
}

// IP^-1: the same exchanges in reverse order.
constexpr void finalPermutation(std::uint32_t& left, std::uint32_t& right) {
    swapMove(left, right, 1, 0x55555555);
    swapMove(right, left, 8, 0x00ff00ff);
    swapMove(right, left, 2, 0x33333333);
    swapMove(left, right, 16, 0x0000ffff);
    swapMove(left, right, 4, 0x0f0f0f0f);
}

constexpr bool swapMovesMatchTheTable() {
    std::uint64_t x = 0x0123456789ABCDEFull;
    for (int trial = 0; trial < 64; ++trial) {
        x = x * 6364136223846793005ull + 1442695040888963407ull;
        std::uint32_t left = static_cast<std::uint32_t>(x >> 32), right = static_cast<std::uint32_t>(x);
        initialPermutation(left, right);
        if ((std::uint64_t{left} << 32 | right) != selectBits(x, 64, initialPermutationTable)) return false;
        finalPermutation(left, right);
        if ((std::uint64_t{left} << 32 | right) != x) return false;
    }
    return true;
}
static_assert(swapMovesMatchTheTable(), "the swap-move IP must be the IP of FIPS 46-3");

// ---- round function ----------------------------------------------------------------------

// sp[box][group]: S-box box's output for the 6-bit group, placed in the box's nibble (box 1
// in the top nibble) and passed through P. Each output bit of P comes from exactly one
// input bit, so the f-function output is the OR of the eight entries.
using SpTables = std::array<std::array<std::uint32_t, 64>, 8>;
constexpr SpTables makeSpTables(const PTable& p) {
    SpTables sp{};
    for (int box = 0; box < 8; ++box)
        for (unsigned group = 0; group < 64; ++group) {
            const unsigned row = (group >> 4 & 2) | (group & 1);
            const unsigned column = group >> 1 & 15;
            const std::uint32_t placed = std::uint32_t{sboxes[box][row][column]} << (28 - 4 * box);
            sp[box][group] = static_cast<std::uint32_t>(selectBits(placed, 32, p));
        }
    return sp;
}

template <const PTable& P>
inline constexpr SpTables spTables = makeSpTables(P);

constexpr std::uint32_t rotateRight(std::uint32_t x, int n) { return x >> n | x << (32 - n); }

// The expansion E gives group i (from 1) the bits 4i - 4 to 4i + 1 of R, cyclically. In R
// rotated right by 3 the odd groups stand in the low 6 bits of its four bytes, top byte
// first; in R rotated left by 1 the even ones do. The round keys are laid out to match.
template <const PTable& P>
inline std::uint32_t f(std::uint32_t right, const std::uint32_t* key) {
    const SpTables& sp = spTables<P>;
    const std::uint32_t odd = rotateRight(right, 3) ^ key[0];
    const std::uint32_t even = rotateRight(right, 31) ^ key[1];
    return sp[0][odd >> 24 & 63] | sp[2][odd >> 16 & 63] | sp[4][odd >> 8 & 63] | sp[6][odd & 63] |
           sp[1][even >> 24 & 63] | sp[3][even >> 16 & 63] | sp[5][even >> 8 & 63] | sp[7][even & 63];
}

// Sixteen rounds on (left, right) = (L0, R0), leaving (L16, R16), for Lanes independent
// blocks at once (their rounds interleave, which keeps the table loads overlapping).
// Deciphering takes the round keys from the last to the first.
template <const PTable& P, std::size_t Lanes>
inline void sixteenRounds(std::uint32_t (&left)[Lanes], std::uint32_t (&right)[Lanes],
                          const std::uint32_t* keys, Direction direction) {
    const bool forward = direction == Direction::encipher;
    for (int i = 0; i < 16; i += 2) {
        const std::uint32_t* first = keys + 2 * (forward ? i : 15 - i);
        const std::uint32_t* second = keys + 2 * (forward ? i + 1 : 14 - i);
        for (std::size_t lane = 0; lane < Lanes; ++lane) left[lane] ^= f<P>(right[lane], first);
        for (std::size_t lane = 0; lane < Lanes; ++lane) right[lane] ^= f<P>(left[lane], second);
    }
}

// Runs blockCount blocks through one or three passes of sixteen rounds, Lanes at a time.
// Between passes the final permutation and the next initial one cancel, leaving the halves
// exchanged: each pass starts from the previous pass's (R16, L16).
template <const PTable& P, std::size_t Lanes>
inline void runBlocks(std::uint8_t* blocks, const std::uint32_t* const* passKeys,
                      const Direction* passDirections, int passes) {
    std::uint32_t left[Lanes], right[Lanes];
    for (std::size_t lane = 0; lane < Lanes; ++lane) {
        left[lane] = load32_be(blocks + blockSize * lane);
        right[lane] = load32_be(blocks + blockSize * lane + 4);
        initialPermutation(left[lane], right[lane]);
    }
    for (int pass = 0; pass < passes; ++pass) {
        if (pass % 2 == 0)
            sixteenRounds<P, Lanes>(left, right, passKeys[pass], passDirections[pass]);
        else
            sixteenRounds<P, Lanes>(right, left, passKeys[pass], passDirections[pass]);
    }
    // After an odd number of passes the preoutput is (right, left), else (left, right).
    for (std::size_t lane = 0; lane < Lanes; ++lane) {
        std::uint32_t& first = passes % 2 ? right[lane] : left[lane];
        std::uint32_t& second = passes % 2 ? left[lane] : right[lane];
        finalPermutation(first, second);
        store32_be(blocks + blockSize * lane, first);
        store32_be(blocks + blockSize * lane + 4, second);
    }
}

template <const PTable& P>
void runAllBlocks(std::uint8_t* blocks, std::size_t blockCount, const std::uint32_t* const* passKeys,
                  const Direction* passDirections, int passes) {
    std::size_t i = 0;
    for (; i + 4 <= blockCount; i += 4)  // four lanes measured fastest on i686 and x86-64
        runBlocks<P, 4>(blocks + blockSize * i, passKeys, passDirections, passes);
    for (; i < blockCount; ++i) runBlocks<P, 1>(blocks + blockSize * i, passKeys, passDirections, passes);
}

}  // namespace

template <const PTable& P>
void BasicDesEngine<P>::setKey(std::span<const std::uint8_t, keySize> key) {
    const std::uint64_t keyBits = std::uint64_t{load32_be(key.data())} << 32 | load32_be(key.data() + 4);
    const std::uint64_t halves = selectBits(keyBits, 64, permutedChoice1);
    std::uint32_t c = static_cast<std::uint32_t>(halves >> 28), d = static_cast<std::uint32_t>(halves & 0x0FFFFFFF);
    for (int n = 0; n < 16; ++n) {
        const int by = keyRotations[n];
        c = (c << by | c >> (28 - by)) & 0x0FFFFFFF;
        d = (d << by | d >> (28 - by)) & 0x0FFFFFFF;
        const std::uint64_t subkey = selectBits(std::uint64_t{c} << 28 | d, 56, permutedChoice2);
        const auto group = [&](int i) { return static_cast<std::uint32_t>(subkey >> (48 - 6 * i) & 63); };
        roundKeys[2 * n] = group(1) << 24 | group(3) << 16 | group(5) << 8 | group(7);
        roundKeys[2 * n + 1] = group(2) << 24 | group(4) << 16 | group(6) << 8 | group(8);
    }
    wipeObject(c);
    wipeObject(d);
}

template <const PTable& P>
void BasicDesEngine<P>::cryptBlocks(std::uint8_t* blocks, std::size_t blockCount,
                                    Direction direction) const {
    const std::uint32_t* keys[] = {roundKeys.data()};
    runAllBlocks<P>(blocks, blockCount, keys, &direction, 1);
}

template <const PTable& P>
void BasicTripleDesEngine<P>::setKey(std::span<const std::uint8_t, keySize> key) {
    first.setKey(key.template first<8>());
    second.setKey(key.template last<8>());
}

template <const PTable& P>
void BasicTripleDesEngine<P>::cryptBlocks(std::uint8_t* blocks, std::size_t blockCount,
                                          Direction direction) const {
    const std::uint32_t* keys[] = {first.roundKeys.data(), second.roundKeys.data(),
                                   first.roundKeys.data()};
    const Direction directions[] = {direction, opposite(direction), direction};
    runAllBlocks<P>(blocks, blockCount, keys, directions, 3);
}

template class BasicDesEngine<libraryP>;
template class BasicDesEngine<standardP>;
template class BasicTripleDesEngine<libraryP>;
template class BasicTripleDesEngine<standardP>;

}  // namespace tessaly::des
