// DES engine: key schedule, swap-move initial and final permutations, and rounds over SP
// tables generated at compile time from the FIPS 46-3 tables and the chosen P.
#include "des.h"

#include "bytes.h"
#include "cpu_features.h"
#include "wipe.h"

#if defined(__i386__) || defined(__x86_64__)
#define TESSALY_DES_BITSLICED 1
#include <immintrin.h>
#endif

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

// ---- bitsliced: 512 blocks as 64 bit planes in ZMM registers -----------------------------

constexpr std::array<std::uint8_t, 48> expansionTable = {
    32, 1,  2,  3,  4,  5,  4,  5,  6,  7,  8,  9,  8,  9,  10, 11, 12, 13, 12, 13, 14, 15, 16, 17,
    16, 17, 18, 19, 20, 21, 20, 21, 22, 23, 24, 25, 24, 25, 26, 27, 28, 29, 28, 29, 30, 31, 32, 1};

// For each S-box and output bit, the eight functions of the inputs b3 b4 b5 that remain once
// b1, b6 and b2 are fixed, as VPTERNLOG truth tables (bit 4*b3 + 2*b4 + b5), indexed by
// 4*b1 + 2*b6 + b2.
using Cofactors = std::array<std::array<std::array<std::uint8_t, 8>, 4>, 8>;
constexpr Cofactors cofactors = [] {
    Cofactors c{};
    for (int box = 0; box < 8; ++box)
        for (unsigned input = 0; input < 64; ++input) {  // b1 is the top bit
            const unsigned b1 = input >> 5 & 1, b2 = input >> 4 & 1, b3 = input >> 3 & 1, b4 = input >> 2 & 1,
                           b5 = input >> 1 & 1, b6 = input & 1;
            const unsigned value = sboxes[box][b1 << 1 | b6][input >> 1 & 15];
            for (int bit = 0; bit < 4; ++bit)  // output bit 0 is the top one
                if (value >> (3 - bit) & 1)
                    c[box][bit][4 * b1 + 2 * b6 + b2] |= static_cast<std::uint8_t>(1u << (4 * b3 + 2 * b4 + b5));
        }
    return c;
}();

// Where each S-box output bit goes through P: feeds[q] lists the f-function output bits (0 to
// 31) that take pre-P bit q (0 to 31); with the library's P one bit feeds two, one none.
struct Feeds {
    std::array<std::array<std::int8_t, 2>, 32> to{};
    std::array<std::uint8_t, 32> count{};
};
template <const PTable& P>
constexpr Feeds feedsOf() {
    Feeds f{};
    for (int i = 0; i < 32; ++i) {
        const int q = P[i] - 1;
        f.to[q][f.count[q]++] = static_cast<std::int8_t>(i);
    }
    return f;
}

#ifdef TESSALY_DES_BITSLICED

#define TESSALY_AVX512 __attribute__((target("avx512f,avx2")))
using Plane = __m512i;

// The plane of block bit b (1 to 64, most significant first) among the transposed words: the
// words were loaded little-endian, so bit b sits at bit 8 * byte + 7 - (bit within byte).
constexpr int planeOf(int desBit) { return 8 * ((desBit - 1) / 8) + 7 - (desBit - 1) % 8; }

// (The zero-masked shifts: GCC 12's plain ones start from an undefined vector and warn.)
template <int Shift>
TESSALY_AVX512 inline void swapMovePlanes(Plane& a, Plane& b, std::uint64_t mask) {
    constexpr __mmask8 all = 0xFF;
    const Plane t = _mm512_and_si512(_mm512_xor_si512(_mm512_maskz_srli_epi64(all, a, Shift), b),
                                     _mm512_set1_epi64(static_cast<long long>(mask)));
    b = _mm512_xor_si512(b, t);
    a = _mm512_xor_si512(a, _mm512_maskz_slli_epi64(all, t, Shift));
}

template <int Shift>
TESSALY_AVX512 inline void transposeStage(Plane (&w)[64], std::uint64_t mask) {
    for (int i = 0; i < 64; ++i)
        if ((i & Shift) == 0) swapMovePlanes<Shift>(w[i], w[i + Shift], mask);
}

// Word k's bit j and word j's bit k exchanged in every lane: 64 words of 8 blocks become 64
// planes (plane k, lane l, bit i: bit k of block 8i + l), and back.
TESSALY_AVX512 void transposePlanes(Plane (&w)[64]) {
    transposeStage<32>(w, 0x00000000FFFFFFFF);
    transposeStage<16>(w, 0x0000FFFF0000FFFF);
    transposeStage<8>(w, 0x00FF00FF00FF00FF);
    transposeStage<4>(w, 0x0F0F0F0F0F0F0F0F);
    transposeStage<2>(w, 0x3333333333333333);
    transposeStage<1>(w, 0x5555555555555555);
}

TESSALY_AVX512 inline Plane choose(Plane select, Plane ifSet, Plane ifClear) {
    return _mm512_ternarylogic_epi64(select, ifSet, ifClear, 0xCA);
}

// Output bit Bit of S-box Box on six input planes (b1 first): eight cofactors of b3 b4 b5,
// then chosen among by b2, b6 and b1.
template <int Box, int Bit>
TESSALY_AVX512 inline Plane sboxOutput(const Plane (&b)[6]) {
    constexpr const auto& t = cofactors[Box][Bit];
    Plane level[8] = {
        _mm512_ternarylogic_epi64(b[2], b[3], b[4], t[0]), _mm512_ternarylogic_epi64(b[2], b[3], b[4], t[1]),
        _mm512_ternarylogic_epi64(b[2], b[3], b[4], t[2]), _mm512_ternarylogic_epi64(b[2], b[3], b[4], t[3]),
        _mm512_ternarylogic_epi64(b[2], b[3], b[4], t[4]), _mm512_ternarylogic_epi64(b[2], b[3], b[4], t[5]),
        _mm512_ternarylogic_epi64(b[2], b[3], b[4], t[6]), _mm512_ternarylogic_epi64(b[2], b[3], b[4], t[7])};
    for (int k = 0; k < 4; ++k) level[k] = choose(b[1], level[2 * k + 1], level[2 * k]);  // b2
    for (int k = 0; k < 2; ++k) level[k] = choose(b[5], level[2 * k + 1], level[2 * k]);  // b6
    return choose(b[0], level[1], level[0]);                                             // b1
}

// One S-box, its four outputs XORed into the left half through P.
template <int Box>
TESSALY_AVX512 inline void sbox(const Plane (&b)[6], Plane* const* left, const Feeds& feeds) {
    const Plane out[4] = {sboxOutput<Box, 0>(b), sboxOutput<Box, 1>(b), sboxOutput<Box, 2>(b),
                          sboxOutput<Box, 3>(b)};
    for (int bit = 0; bit < 4; ++bit) {
        const int q = 4 * Box + bit;
        for (int f = 0; f < feeds.count[q]; ++f) {
            Plane* target = left[feeds.to[q][f]];
            *target = _mm512_xor_si512(*target, out[bit]);
        }
    }
}

// The 16 rounds of one pass on the planes of L and R (by pointer, so that the halves trade
// places by renaming); keys as the table path keeps them.
template <const PTable& P>
TESSALY_AVX512 void slicedPass(Plane** left, Plane** right, const std::uint32_t* keys, Direction direction) {
    static constexpr Feeds feeds = feedsOf<P>();
    for (int i = 0; i < 16; ++i) {
        const int round = direction == Direction::encipher ? i : 15 - i;
        for (int box = 0; box < 8; ++box) {
            // Group box + 1 of the round key, as setKey laid it out.
            const std::uint32_t word = keys[2 * round + (box & 1)];
            const std::uint32_t group = word >> (24 - 8 * (box / 2)) & 63;
            Plane b[6];
            for (int k = 0; k < 6; ++k) {
                const long long keyBit = 0 - static_cast<long long>(group >> (5 - k) & 1);
                b[k] = _mm512_xor_si512(*right[expansionTable[6 * box + k] - 1], _mm512_set1_epi64(keyBit));
            }
            switch (box) {
                case 0: sbox<0>(b, left, feeds); break;
                case 1: sbox<1>(b, left, feeds); break;
                case 2: sbox<2>(b, left, feeds); break;
                case 3: sbox<3>(b, left, feeds); break;
                case 4: sbox<4>(b, left, feeds); break;
                case 5: sbox<5>(b, left, feeds); break;
                case 6: sbox<6>(b, left, feeds); break;
                default: sbox<7>(b, left, feeds); break;
            }
        }
        for (int j = 0; j < 32; ++j) std::swap(left[j], right[j]);
    }
    // left now names L16 and right R16, as the table path leaves them.
}

template <const PTable& P>
TESSALY_AVX512 void runSliced(std::uint8_t* blocks, const std::uint32_t* const* passKeys,
                              const Direction* passDirections, int passes) {
    Plane planes[64];
    for (int i = 0; i < 64; ++i) planes[i] = _mm512_loadu_si512(blocks + 64 * i);
    transposePlanes(planes);
    // IP by renaming: L0 is IP's output bits 1 to 32, R0 bits 33 to 64.
    Plane* left[32];
    Plane* right[32];
    for (int j = 0; j < 32; ++j) {
        left[j] = &planes[planeOf(initialPermutationTable[j])];
        right[j] = &planes[planeOf(initialPermutationTable[32 + j])];
    }
    // Each pass leaves (L16, R16); the next starts from (R16, L16), as the table path does.
    for (int pass = 0; pass < passes; ++pass) {
        if (pass % 2 == 0)
            slicedPass<P>(left, right, passKeys[pass], passDirections[pass]);
        else
            slicedPass<P>(right, left, passKeys[pass], passDirections[pass]);
    }
    // The preoutput R16 L16 (or L16 R16 after an even count of passes) through IP^-1, which
    // puts preoutput bit j back at block bit IP[j]. The planes are permuted in place, cycle
    // by cycle (a second set would take the frame past the depth the exports scrub).
    Plane** first = passes % 2 ? right : left;
    Plane** second = passes % 2 ? left : right;
    int sourceOf[64];
    for (int j = 0; j < 32; ++j) {
        sourceOf[planeOf(initialPermutationTable[j])] = static_cast<int>(first[j] - planes);
        sourceOf[planeOf(initialPermutationTable[32 + j])] = static_cast<int>(second[j] - planes);
    }
    std::uint64_t placed = 0;
    for (int start = 0; start < 64; ++start) {
        if (placed >> start & 1) continue;
        const Plane saved = planes[start];
        for (int at = start;;) {
            placed |= std::uint64_t{1} << at;
            const int from = sourceOf[at];
            if (from == start) {
                planes[at] = saved;
                break;
            }
            planes[at] = planes[from];
            at = from;
        }
    }
    transposePlanes(planes);
    for (int i = 0; i < 64; ++i) _mm512_storeu_si512(blocks + 64 * i, planes[i]);
    _mm256_zeroupper();
}

#endif  // TESSALY_DES_BITSLICED

template <const PTable& P>
void runAllBlocks(std::uint8_t* blocks, std::size_t blockCount, const std::uint32_t* const* passKeys,
                  const Direction* passDirections, int passes, BlockPath path) {
    std::size_t i = 0;
#ifdef TESSALY_DES_BITSLICED
    if (path == BlockPath::bitsliced && bitslicedAvailable())
        for (; i + bitslicedBatch <= blockCount; i += bitslicedBatch)
            runSliced<P>(blocks + blockSize * i, passKeys, passDirections, passes);
#else
    (void)path;
#endif
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

bool bitslicedAvailable() {
#ifdef TESSALY_DES_BITSLICED
    return cpu::features().avx512vbmi || cpu::features().avx512ifma;  // both imply AVX-512 F
#else
    return false;
#endif
}

const char* fastestPathName() { return bitslicedAvailable() ? "bitsliced-avx512" : "tables"; }

template <const PTable& P>
void BasicDesEngine<P>::cryptBlocks(std::uint8_t* blocks, std::size_t blockCount, Direction direction,
                                    BlockPath path) const {
    const std::uint32_t* keys[] = {roundKeys.data()};
    runAllBlocks<P>(blocks, blockCount, keys, &direction, 1, path);
}

template <const PTable& P>
void BasicDesEngine<P>::cryptBlocks(std::uint8_t* blocks, std::size_t blockCount,
                                    Direction direction) const {
    cryptBlocks(blocks, blockCount, direction, BlockPath::bitsliced);
}

template <const PTable& P>
void BasicTripleDesEngine<P>::setKey(std::span<const std::uint8_t, keySize> key) {
    first.setKey(key.template first<8>());
    second.setKey(key.template last<8>());
}

template <const PTable& P>
void BasicTripleDesEngine<P>::cryptBlocks(std::uint8_t* blocks, std::size_t blockCount, Direction direction,
                                          BlockPath path) const {
    const std::uint32_t* keys[] = {first.roundKeys.data(), second.roundKeys.data(),
                                   first.roundKeys.data()};
    const Direction directions[] = {direction, opposite(direction), direction};
    runAllBlocks<P>(blocks, blockCount, keys, directions, 3, path);
}

template <const PTable& P>
void BasicTripleDesEngine<P>::cryptBlocks(std::uint8_t* blocks, std::size_t blockCount,
                                          Direction direction) const {
    cryptBlocks(blocks, blockCount, direction, BlockPath::bitsliced);
}

template class BasicDesEngine<libraryP>;
template class BasicDesEngine<standardP>;
template class BasicTripleDesEngine<libraryP>;
template class BasicTripleDesEngine<standardP>;

}  // namespace tessaly::des
