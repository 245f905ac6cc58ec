// AES engine: the S-box as a circuit checked at compile time against the field arithmetic of
// FIPS 197, the key expansion, the bitsliced block function and the AES-NI block function.
// No path reads memory at an address, or branches, on a key or data byte.
#include "aes.h"

#include "bytes.h"
#include "cpu_features.h"
#include "wipe.h"

#include <algorithm>
#include <cstring>

#if defined(__i386__) || defined(__x86_64__)
#define TESSALY_AES_NI 1
#include <immintrin.h>
#endif

namespace tessaly::aes {
namespace {

// ---- GF(2^8) modulo x^8 + x^4 + x^3 + x + 1, and the tables built from it ----------------

constexpr std::uint8_t multiply(std::uint8_t a, std::uint8_t b) {
    std::uint8_t product = 0;
    for (; b != 0; b >>= 1) {
        if (b & 1) product ^= a;
        a = static_cast<std::uint8_t>(a << 1 ^ (a & 0x80 ? 0x1B : 0));
    }
    return product;
}

// x^254, the multiplicative inverse (0 maps to 0), by square-and-multiply.
constexpr std::uint8_t inverse(std::uint8_t x) {
    std::uint8_t result = 1, power = x;
    for (unsigned exponent = 254; exponent != 0; exponent >>= 1) {
        if (exponent & 1) result = multiply(result, power);
        power = multiply(power, power);
    }
    return result;
}

constexpr std::uint8_t rotate8(std::uint8_t x, int n) {
    return static_cast<std::uint8_t>(x << n | x >> (8 - n));
}

struct ByteTables {
    std::array<std::uint8_t, 256> sbox{};
    std::array<std::uint8_t, 256> inverseSbox{};
};

constexpr ByteTables byteTables = [] {
    ByteTables t{};
    for (unsigned x = 0; x < 256; ++x) {
        const std::uint8_t b = inverse(static_cast<std::uint8_t>(x));
        const std::uint8_t s = b ^ rotate8(b, 1) ^ rotate8(b, 2) ^ rotate8(b, 3) ^ rotate8(b, 4) ^ 0x63;
        t.sbox[x] = s;
        t.inverseSbox[s] = static_cast<std::uint8_t>(x);
    }
    return t;
}();
constexpr const auto& sbox = byteTables.sbox;
constexpr const auto& inverseSbox = byteTables.inverseSbox;

constexpr std::uint32_t rotateRight(std::uint32_t x, int n) {
    return n == 0 ? x : x >> n | x << (32 - n);
}

constexpr std::array<std::uint32_t, 10> roundConstants = {
    0x01000000, 0x02000000, 0x04000000, 0x08000000, 0x10000000,
    0x20000000, 0x40000000, 0x80000000, 0x1B000000, 0x36000000};

// ---- the S-box as a circuit over bit planes -----------------------------------------------
// Every path computes the S-box rather than looking it up, so no address and no branch
// depends on a key or data byte.

// Boyar and Peralta's 113-gate circuit. x[0] is the plane of the top bit of every byte, x[7]
// that of the bottom bit; the result replaces x in the same order.
template <typename W>
constexpr void substitutePlanes(W (&x)[8]) {
    const W y14 = x[3] ^ x[5], y13 = x[0] ^ x[6], y9 = x[0] ^ x[3], y8 = x[0] ^ x[5];
    const W t0 = x[1] ^ x[2], y1 = t0 ^ x[7], y4 = y1 ^ x[3], y12 = y13 ^ y14;
    const W y2 = y1 ^ x[0], y5 = y1 ^ x[6], y3 = y5 ^ y8, t1 = x[4] ^ y12;
    const W y15 = t1 ^ x[5], y20 = t1 ^ x[1], y6 = y15 ^ x[7], y10 = y15 ^ t0;
    const W y11 = y20 ^ y9, y7 = x[7] ^ y11, y17 = y10 ^ y11, y19 = y10 ^ y8;
    const W y16 = t0 ^ y11, y21 = y13 ^ y16, y18 = x[0] ^ y16;

    const W t2 = y12 & y15, t3 = y3 & y6, t4 = t3 ^ t2, t5 = y4 & x[7];
    const W t6 = t5 ^ t2, t7 = y13 & y16, t8 = y5 & y1, t9 = t8 ^ t7;
    const W t10 = y2 & y7, t11 = t10 ^ t7, t12 = y9 & y11, t13 = y14 & y17;
    const W t14 = t13 ^ t12, t15 = y8 & y10, t16 = t15 ^ t12, t17 = t4 ^ t14;
    const W t18 = t6 ^ t16, t19 = t9 ^ t14, t20 = t11 ^ t16, t21 = t17 ^ y20;
    const W t22 = t18 ^ y19, t23 = t19 ^ y21, t24 = t20 ^ y18, t25 = t21 ^ t22;
    const W t26 = t21 & t23, t27 = t24 ^ t26, t28 = t25 & t27, t29 = t28 ^ t22;
    const W t30 = t23 ^ t24, t31 = t22 ^ t26, t32 = t31 & t30, t33 = t32 ^ t24;
    const W t34 = t23 ^ t33, t35 = t27 ^ t33, t36 = t24 & t35, t37 = t36 ^ t34;
    const W t38 = t27 ^ t36, t39 = t29 & t38, t40 = t25 ^ t39, t41 = t40 ^ t37;
    const W t42 = t29 ^ t33, t43 = t29 ^ t40, t44 = t33 ^ t37, t45 = t42 ^ t41;
    const W z0 = t44 & y15, z1 = t37 & y6, z2 = t33 & x[7], z3 = t43 & y16;
    const W z4 = t40 & y1, z5 = t29 & y7, z6 = t42 & y11, z7 = t45 & y17;
    const W z8 = t41 & y10, z9 = t44 & y12, z10 = t37 & y3, z11 = t33 & y4;
    const W z12 = t43 & y13, z13 = t40 & y5, z14 = t29 & y2, z15 = t42 & y9;
    const W z16 = t45 & y14, z17 = t41 & y8;

    const W t46 = z15 ^ z16, t47 = z10 ^ z11, t48 = z5 ^ z13, t49 = z9 ^ z10;
    const W t50 = z2 ^ z12, t51 = z2 ^ z5, t52 = z7 ^ z8, t53 = z0 ^ z3;
    const W t54 = z6 ^ z7, t55 = z16 ^ z17, t56 = z12 ^ t48, t57 = t50 ^ t53;
    const W t58 = z4 ^ t46, t59 = z3 ^ t54, t60 = t46 ^ t57, t61 = z14 ^ t57;
    const W t62 = t52 ^ t58, t63 = t49 ^ t58, t64 = z4 ^ t59, t65 = t61 ^ t62;
    const W t66 = z1 ^ t63, t67 = t64 ^ t65;
    x[0] = t59 ^ t63;
    x[6] = t56 ^ ~t62;
    x[7] = t48 ^ ~t60;
    x[3] = t53 ^ t66;
    x[4] = t51 ^ t66;
    x[5] = t47 ^ t65;
    x[1] = t64 ^ ~x[3];
    x[2] = t55 ^ ~t67;
}

// b -> A^-1(b ^ 0x63), A the S-box's affine map: on a byte, rotl 1 ^ rotl 3 ^ rotl 6 ^ 0x05.
// Planes in the order of substitutePlanes (x[7 - i] holds bit i).
template <typename W>
constexpr void undoAffinePlanes(W (&x)[8]) {
    W bit[8] = {};
    for (int i = 0; i < 8; ++i) bit[i] = x[7 - ((i + 7) & 7)] ^ x[7 - ((i + 5) & 7)] ^ x[7 - ((i + 2) & 7)];
    bit[0] = ~bit[0];
    bit[2] = ~bit[2];
    for (int i = 0; i < 8; ++i) x[7 - i] = bit[i];
}

// The inverse S-box is the inverse of the field, which the S-box circuit gives between two
// copies of that affine map: S^-1 = L o S o L with L(b) = A^-1(b ^ 0x63).
template <typename W>
constexpr void inverseSubstitutePlanes(W (&x)[8]) {
    undoAffinePlanes(x);
    substitutePlanes(x);
    undoAffinePlanes(x);
}

constexpr bool circuitsMatchTheTables() {
    for (unsigned value = 0; value < 256; ++value) {
        std::uint32_t forward[8] = {}, reverse[8] = {};
        for (int i = 0; i < 8; ++i) forward[i] = reverse[i] = value >> (7 - i) & 1 ? ~0u : 0u;
        substitutePlanes(forward);
        inverseSubstitutePlanes(reverse);
        unsigned s = 0, r = 0;
        for (int i = 0; i < 8; ++i) {
            s |= (forward[i] & 1) << (7 - i);
            r |= (reverse[i] & 1) << (7 - i);
        }
        if (s != sbox[value] || r != inverseSbox[value]) return false;
    }
    return true;
}
static_assert(circuitsMatchTheTables());

// ---- bitsliced path ----------------------------------------------------------------------
// A word W is one or more 64-bit lanes. Each lane holds eight bytes of the state as it is
// stored, so two columns, row r of a column in byte r; eight words hold four blocks per lane
// (lane l, word j: bytes 8j to 8j + 7 of the l-th run of four blocks). ShiftRows and
// MixColumns work on the bytes in place; SubBytes turns the eight words into bit planes and
// back.

template <typename W>
constexpr std::size_t lanesOf = sizeof(W) / sizeof(std::uint64_t);

template <typename W>
inline void swapMove(W& a, W& b, std::uint64_t mask, int shift) {
    const W t = ((a >> shift) ^ b) & mask;
    b ^= t;
    a ^= t << shift;
}

// Exchanges bit j of each byte of word k with bit k of the same byte of word j: the eight
// words become eight bit planes (word k: bit k of every byte), and the planes become words.
template <typename W>
inline void transposeBits(W (&w)[8]) {
    for (int i = 0; i < 8; i += 2) swapMove(w[i], w[i + 1], 0x5555555555555555, 1);
    for (int i : {0, 1, 4, 5}) swapMove(w[i], w[i + 2], 0x3333333333333333, 2);
    for (int i = 0; i < 4; ++i) swapMove(w[i], w[i + 4], 0x0F0F0F0F0F0F0F0F, 4);
}

template <typename W, bool Forward>
inline void substituteBytes(W (&s)[8]) {
    transposeBits(s);
    W planes[8] = {s[7], s[6], s[5], s[4], s[3], s[2], s[1], s[0]};
    if constexpr (Forward)
        substitutePlanes(planes);
    else
        inverseSubstitutePlanes(planes);
    for (int i = 0; i < 8; ++i) s[7 - i] = planes[i];
    transposeBits(s);
}

// Byte r of each column takes byte r + 1 (rotateRows1) or r + 2 (rotateRows2) of the same column.
template <typename W>
inline W rotateRows1(W x) {
    return ((x >> 8) & 0x00FFFFFF00FFFFFF) | ((x << 24) & 0xFF000000FF000000);
}
template <typename W>
inline W rotateRows2(W x) {
    return ((x >> 16) & 0x0000FFFF0000FFFF) | ((x << 16) & 0xFFFF0000FFFF0000);
}

template <typename W>
inline W timesX(W x) {  // every byte times x in the field
    const W high = (x >> 7) & 0x0101010101010101;
    return ((x & 0x7F7F7F7F7F7F7F7F) << 1) ^ high ^ (high << 1) ^ (high << 3) ^ (high << 4);
}

template <typename W>
inline W mixColumns(W c) {  // 2a_r + 3a_{r+1} + a_{r+2} + a_{r+3} = 2(a_r + a_{r+1}) + ...
    const W next = rotateRows1(c), pair = c ^ next;
    return timesX(pair) ^ next ^ rotateRows2(pair);
}

template <typename W>
inline W inverseMixColumns(W c) {  // InvMixColumns is MixColumns after the matrix (5 0 4 0)
    return mixColumns(c ^ timesX(timesX(c ^ rotateRows2(c))));
}

// One block's two words: a holds columns 0 and 1, b columns 2 and 3.
template <typename W, bool Forward>
inline void shiftRows(W& a, W& b) {
    constexpr std::uint64_t row0 = 0x000000FF000000FF, row1 = row0 << 8, row2 = row0 << 16, row3 = row0 << 24;
    const W columns12 = a >> 32 | b << 32, columns30 = b >> 32 | a << 32;
    const W rowOneOfA = Forward ? columns12 : columns30, rowThreeOfA = Forward ? columns30 : columns12;
    const W shiftedA = (a & row0) | (rowOneOfA & row1) | (b & row2) | (rowThreeOfA & row3);
    b = (b & row0) | (rowThreeOfA & row1) | (a & row2) | (rowOneOfA & row3);
    a = shiftedA;
}

// The round keys as the bitsliced words take them: two little-endian words per round.
using SlicedKeys = std::array<std::uint64_t, 30>;

template <typename W>
inline void addRoundKey(W (&s)[8], const SlicedKeys& keys, int round) {
    for (int m = 0; m < 4; ++m) {
        s[2 * m] ^= keys[2 * round];
        s[2 * m + 1] ^= keys[2 * round + 1];
    }
}

template <typename W>
void encipherSliced(W (&s)[8], const SlicedKeys& keys, int rounds) {
    addRoundKey(s, keys, 0);
    for (int round = 1; round <= rounds; ++round) {
        substituteBytes<W, true>(s);
        for (int m = 0; m < 4; ++m) shiftRows<W, true>(s[2 * m], s[2 * m + 1]);
        if (round != rounds)
            for (W& word : s) word = mixColumns(word);
        addRoundKey(s, keys, round);
    }
}

template <typename W>
void decipherSliced(W (&s)[8], const SlicedKeys& keys, int rounds) {
    addRoundKey(s, keys, rounds);
    for (int round = rounds - 1; round >= 0; --round) {
        for (int m = 0; m < 4; ++m) shiftRows<W, false>(s[2 * m], s[2 * m + 1]);
        substituteBytes<W, false>(s);
        addRoundKey(s, keys, round);
        if (round != 0)
            for (W& word : s) word = inverseMixColumns(word);
    }
}

template <typename W>
inline void loadSliced(const std::uint8_t* in, W (&s)[8]) {
    for (int j = 0; j < 8; ++j) {
        if constexpr (lanesOf<W> == 1) {
            s[j] = load64_le(in + 8 * j);
        } else {
            for (std::size_t l = 0; l < lanesOf<W>; ++l) s[j][l] = load64_le(in + 64 * l + 8 * j);
        }
    }
}

template <typename W>
inline void storeSliced(const W (&s)[8], std::uint8_t* out) {
    for (int j = 0; j < 8; ++j) {
        if constexpr (lanesOf<W> == 1) {
            store64_le(out + 8 * j, s[j]);
        } else {
            for (std::size_t l = 0; l < lanesOf<W>; ++l) store64_le(out + 64 * l + 8 * j, s[j][l]);
        }
    }
}

template <typename W>
void cryptBlocksSliced(const AesEngine& context, std::uint8_t* blocks, std::size_t blockCount,
                       Direction direction) {
    constexpr std::size_t batch = 4 * lanesOf<W>;
    SlicedKeys keys{};
    const auto column = [&](int word) { return std::uint64_t{__builtin_bswap32(context.encipherKeys[word])}; };
    for (int round = 0; round <= context.rounds; ++round) {
        keys[2 * round] = column(4 * round) | column(4 * round + 1) << 32;
        keys[2 * round + 1] = column(4 * round + 2) | column(4 * round + 3) << 32;
    }
    W s[8];
    std::uint8_t partial[batch * blockSize];
    for (std::size_t i = 0; i < blockCount; i += batch) {
        const std::size_t count = std::min(batch, blockCount - i);
        std::uint8_t* at = blocks + blockSize * i;
        std::uint8_t* work = at;
        if (count < batch) {  // the last few blocks go through a zero-padded batch
            std::memset(partial, 0, sizeof partial);
            std::memcpy(partial, at, blockSize * count);
            work = partial;
        }
        loadSliced(work, s);
        if (direction == Direction::encipher)
            encipherSliced(s, keys, context.rounds);
        else
            decipherSliced(s, keys, context.rounds);
        storeSliced(s, work);
        if (work == partial) std::memcpy(at, partial, blockSize * count);
    }
    wipeObject(keys);
    wipeObject(s);
    wipeObject(partial);
}

#if defined(__SSE2__) || defined(__ARM_NEON)
// Two lanes in one 128-bit register, which every x86-64 and AArch64 processor has.
using TwoLanes = std::uint64_t __attribute__((vector_size(16)));
#define TESSALY_AES_TWO_LANES 1
#endif

// The key schedule's two primitives on its big-endian words, computed as the blocks are.
std::uint32_t subWordSliced(std::uint32_t w) {
    std::uint64_t s[8] = {w};
    substituteBytes<std::uint64_t, true>(s);
    return static_cast<std::uint32_t>(s[0]);  // bytewise, so the order of the bytes is kept
}

std::uint32_t inverseMixColumnSliced(std::uint32_t w) {
    return __builtin_bswap32(static_cast<std::uint32_t>(inverseMixColumns(std::uint64_t{__builtin_bswap32(w)})));
}

// FIPS 197's key expansion over SubWord and InvMixColumns as a path computes them.
template <std::uint32_t (*SubWord)(std::uint32_t), std::uint32_t (*InverseMixColumn)(std::uint32_t)>
[[gnu::always_inline]] inline bool expandKey(AesEngine& engine, std::span<const std::uint8_t> key, Direction use) {
    const std::size_t keyWords = key.size() / 4;
    if (key.size() != 16 && key.size() != 24 && key.size() != 32) return false;
    const std::int32_t rounds = static_cast<std::int32_t>(keyWords + 6);
    engine.rounds = rounds;
    const std::size_t totalWords = 4 * (rounds + 1);
    std::uint32_t* w = engine.encipherKeys.data();
    for (std::size_t i = 0; i < keyWords; ++i) w[i] = load32_be(key.data() + 4 * i);
    for (std::size_t i = keyWords; i < totalWords; ++i) {
        std::uint32_t temp = w[i - 1];
        if (i % keyWords == 0)
            temp = SubWord(rotateRight(temp, 24)) ^ roundConstants[i / keyWords - 1];
        else if (keyWords > 6 && i % keyWords == 4)
            temp = SubWord(temp);
        w[i] = w[i - keyWords] ^ temp;
    }
    if (use == Direction::decipher) {
        // Equivalent inverse cipher: the round keys in reverse order, the inner ones passed
        // through InvMixColumns.
        std::uint32_t* d = engine.decipherKeys.data();
        for (int round = 0; round <= rounds; ++round)
            for (int j = 0; j < 4; ++j) {
                const std::uint32_t word = w[4 * (rounds - round) + j];
                d[4 * round + j] = round == 0 || round == rounds ? word : InverseMixColumn(word);
            }
    }
    return true;
}

// ---- AES-NI path -------------------------------------------------------------------------

#ifdef TESSALY_AES_NI

#define TESSALY_AESNI_TARGET __attribute__((target("aes,sse4.1,ssse3")))

// Six blocks in flight: six states and one round key fit the eight XMM registers of i686.
constexpr std::size_t interleave = 6;

// Round keys as the instructions take them: the big-endian words of the schedule, as bytes.
TESSALY_AESNI_TARGET void loadRoundKeys(const std::uint32_t* words, int rounds, __m128i* keys) {
    const __m128i wordsToBytes = _mm_setr_epi8(3, 2, 1, 0, 7, 6, 5, 4, 11, 10, 9, 8, 15, 14, 13, 12);
    for (int i = 0; i <= rounds; ++i)
        keys[i] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(words + 4 * i)),
                                   wordsToBytes);
}

template <bool Forward>
TESSALY_AESNI_TARGET inline __m128i middleRound(__m128i state, __m128i key) {
    return Forward ? _mm_aesenc_si128(state, key) : _mm_aesdec_si128(state, key);
}
template <bool Forward>
TESSALY_AESNI_TARGET inline __m128i lastRound(__m128i state, __m128i key) {
    return Forward ? _mm_aesenclast_si128(state, key) : _mm_aesdeclast_si128(state, key);
}

template <bool Forward>
TESSALY_AESNI_TARGET void cryptBlocksNi(const AesEngine& context, std::uint8_t* blocks,
                                        std::size_t blockCount) {
    alignas(16) __m128i keys[15];
    loadRoundKeys(Forward ? context.encipherKeys.data() : context.decipherKeys.data(),
                  context.rounds, keys);
    const int rounds = context.rounds;
    auto* data = reinterpret_cast<__m128i*>(blocks);
    std::size_t i = 0;
    for (; i + interleave <= blockCount; i += interleave) {
        __m128i s[interleave];
        for (std::size_t b = 0; b < interleave; ++b)
            s[b] = _mm_xor_si128(_mm_loadu_si128(data + i + b), keys[0]);
        for (int round = 1; round < rounds; ++round) {
            const __m128i key = keys[round];
            for (std::size_t b = 0; b < interleave; ++b) s[b] = middleRound<Forward>(s[b], key);
        }
        for (std::size_t b = 0; b < interleave; ++b)
            _mm_storeu_si128(data + i + b, lastRound<Forward>(s[b], keys[rounds]));
    }
    for (; i < blockCount; ++i) {
        __m128i s = _mm_xor_si128(_mm_loadu_si128(data + i), keys[0]);
        for (int round = 1; round < rounds; ++round) s = middleRound<Forward>(s, keys[round]);
        _mm_storeu_si128(data + i, lastRound<Forward>(s, keys[rounds]));
    }
}

// SubWord by AESKEYGENASSIST (its first word is SubWord of the source's second word) and
// InvMixColumns by AESIMC; the instructions take the schedule's words as bytes in order.
TESSALY_AESNI_TARGET std::uint32_t subWordNi(std::uint32_t w) {
    const __m128i word = _mm_set1_epi32(static_cast<int>(__builtin_bswap32(w)));
    return __builtin_bswap32(static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_aeskeygenassist_si128(word, 0))));
}

TESSALY_AESNI_TARGET std::uint32_t inverseMixColumnNi(std::uint32_t w) {
    const __m128i word = _mm_set1_epi32(static_cast<int>(__builtin_bswap32(w)));
    return __builtin_bswap32(static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_aesimc_si128(word))));
}

// A 128- or 256-bit key expanded four words at a time: the next round key is the previous
// one's prefix XOR (three shifted copies) and one word of AESKEYGENASSIST, broadcast.
template <int Selector>
TESSALY_AESNI_TARGET inline __m128i nextRoundKey(__m128i previous, __m128i assisted) {
    previous = _mm_xor_si128(previous, _mm_slli_si128(previous, 4));
    previous = _mm_xor_si128(previous, _mm_slli_si128(previous, 8));
    return _mm_xor_si128(previous, _mm_shuffle_epi32(assisted, Selector));
}

template <int Round>
TESSALY_AESNI_TARGET inline void expand128(__m128i* keys) {
    if constexpr (Round <= 10) {
        constexpr int roundConstant = static_cast<int>(roundConstants[Round - 1] >> 24);
        keys[Round] = nextRoundKey<0xFF>(keys[Round - 1], _mm_aeskeygenassist_si128(keys[Round - 1], roundConstant));
        expand128<Round + 1>(keys);
    }
}

// Round keys 2i and 2i + 1 of a 256-bit key: RotWord and SubWord with the constant, then
// SubWord alone.
template <int Pair>
TESSALY_AESNI_TARGET inline void expand256(__m128i* keys) {
    if constexpr (Pair <= 7) {
        constexpr int roundConstant = static_cast<int>(roundConstants[Pair - 1] >> 24);
        keys[2 * Pair] = nextRoundKey<0xFF>(keys[2 * Pair - 2], _mm_aeskeygenassist_si128(keys[2 * Pair - 1], roundConstant));
        if constexpr (Pair < 7)
            keys[2 * Pair + 1] = nextRoundKey<0xAA>(keys[2 * Pair - 1], _mm_aeskeygenassist_si128(keys[2 * Pair], 0));
        expand256<Pair + 1>(keys);
    }
}

// The schedule as the engine keeps it (big-endian words) from the instructions' round keys.
TESSALY_AESNI_TARGET void storeRoundKeys(const __m128i* keys, int rounds, std::uint32_t* words) {
    const __m128i bytesToWords = _mm_setr_epi8(3, 2, 1, 0, 7, 6, 5, 4, 11, 10, 9, 8, 15, 14, 13, 12);
    for (int i = 0; i <= rounds; ++i)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(words + 4 * i), _mm_shuffle_epi8(keys[i], bytesToWords));
}

// 192-bit keys go word by word through the expansion above, with the instructions inlined.
TESSALY_AESNI_TARGET bool setKeyAesNi(AesEngine& engine, std::span<const std::uint8_t> key, Direction use) {
    if (key.size() != 16 && key.size() != 32) return expandKey<subWordNi, inverseMixColumnNi>(engine, key, use);
    alignas(16) __m128i keys[15];
    keys[0] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(key.data()));
    if (key.size() == 16) {
        engine.rounds = 10;
        expand128<1>(keys);
    } else {
        engine.rounds = 14;
        keys[1] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(key.data() + 16));
        expand256<1>(keys);
    }
    storeRoundKeys(keys, engine.rounds, engine.encipherKeys.data());
    if (use == Direction::decipher) {
        // Equivalent inverse cipher: reversed, the inner round keys through AESIMC.
        alignas(16) __m128i inverse[15];
        inverse[0] = keys[engine.rounds];
        for (int round = 1; round < engine.rounds; ++round) inverse[round] = _mm_aesimc_si128(keys[engine.rounds - round]);
        inverse[engine.rounds] = keys[0];
        storeRoundKeys(inverse, engine.rounds, engine.decipherKeys.data());
        wipeObject(inverse);
    }
    wipeObject(keys);
    return true;
}

void cryptBlocksAesNi(const AesEngine& context, std::uint8_t* blocks, std::size_t blockCount,
                      Direction direction) {
    if (direction == Direction::encipher)
        cryptBlocksNi<true>(context, blocks, blockCount);
    else
        cryptBlocksNi<false>(context, blocks, blockCount);
}

// Two blocks per instruction in the YMM registers: eight registers in flight on x86-64 (the
// latency of four cycles at two per cycle), six where i686 has only eight in all.
#define TESSALY_VAES_TARGET __attribute__((target("vaes,avx2,aes,sse4.1,ssse3")))
constexpr std::size_t vaesInterleave = sizeof(void*) == 8 ? 8 : 6;

template <bool Forward>
TESSALY_VAES_TARGET inline __m256i middleRoundWide(__m256i state, __m256i key) {
    return Forward ? _mm256_aesenc_epi128(state, key) : _mm256_aesdec_epi128(state, key);
}
template <bool Forward>
TESSALY_VAES_TARGET inline __m256i lastRoundWide(__m256i state, __m256i key) {
    return Forward ? _mm256_aesenclast_epi128(state, key) : _mm256_aesdeclast_epi128(state, key);
}

template <bool Forward>
TESSALY_VAES_TARGET void cryptBlocksWide(const AesEngine& context, std::uint8_t* blocks, std::size_t blockCount) {
    alignas(16) __m128i narrowKeys[15];
    loadRoundKeys(Forward ? context.encipherKeys.data() : context.decipherKeys.data(), context.rounds, narrowKeys);
    alignas(32) __m256i keys[15] = {};  // zeroed for the compiler only: rounds + 1 are filled
    const int rounds = context.rounds;
    for (int round = 0; round <= rounds; ++round) keys[round] = _mm256_broadcastsi128_si256(narrowKeys[round]);
    auto* data = reinterpret_cast<__m256i*>(blocks);
    std::size_t i = 0;  // in pairs of blocks
    const std::size_t pairs = blockCount / 2;
    for (; i + vaesInterleave <= pairs; i += vaesInterleave) {
        __m256i s[vaesInterleave];
        for (std::size_t b = 0; b < vaesInterleave; ++b)
            s[b] = _mm256_xor_si256(_mm256_loadu_si256(data + i + b), keys[0]);
        for (int round = 1; round < rounds; ++round) {
            const __m256i key = keys[round];
            for (std::size_t b = 0; b < vaesInterleave; ++b) s[b] = middleRoundWide<Forward>(s[b], key);
        }
        for (std::size_t b = 0; b < vaesInterleave; ++b)
            _mm256_storeu_si256(data + i + b, lastRoundWide<Forward>(s[b], keys[rounds]));
    }
    for (; i < pairs; ++i) {
        __m256i s = _mm256_xor_si256(_mm256_loadu_si256(data + i), keys[0]);
        for (int round = 1; round < rounds; ++round) s = middleRoundWide<Forward>(s, keys[round]);
        _mm256_storeu_si256(data + i, lastRoundWide<Forward>(s, keys[rounds]));
    }
    if (blockCount % 2 != 0) {
        auto* last = reinterpret_cast<__m128i*>(blocks) + blockCount - 1;
        __m128i s = _mm_xor_si128(_mm_loadu_si128(last), narrowKeys[0]);
        for (int round = 1; round < rounds; ++round) s = middleRound<Forward>(s, narrowKeys[round]);
        _mm_storeu_si128(last, lastRound<Forward>(s, narrowKeys[rounds]));
    }
    _mm256_zeroupper();
}

void cryptBlocksVaes(const AesEngine& context, std::uint8_t* blocks, std::size_t blockCount, Direction direction) {
    if (direction == Direction::encipher)
        cryptBlocksWide<true>(context, blocks, blockCount);
    else
        cryptBlocksWide<false>(context, blocks, blockCount);
}

// Two blocks through both kernels. An emulator may report VAES and compute it wrongly (QEMU
// 7.2's user mode gives the second block the first one's result), so the path is taken only
// where it agrees with AES-NI.
bool vaesAgreesWithAesNi() {
    AesEngine engine;
    const std::uint8_t key[16] = {};
    setKeyAesNi(engine, key, Direction::encipher);
    std::uint8_t wide[2 * blockSize], narrow[2 * blockSize];
    for (std::size_t i = 0; i < sizeof wide; ++i) wide[i] = narrow[i] = static_cast<std::uint8_t>(i);
    cryptBlocksVaes(engine, wide, 2, Direction::encipher);
    cryptBlocksAesNi(engine, narrow, 2, Direction::encipher);
    return std::memcmp(wide, narrow, sizeof wide) == 0;
}

#endif  // TESSALY_AES_NI

const cpu::PathList<Path, 4>& paths() {
    static const cpu::PathList<Path, 4> list = [] {
        cpu::PathList<Path, 4> list;
        const auto setKeySliced = [](AesEngine& engine, std::span<const std::uint8_t> key, Direction use) {
            return expandKey<subWordSliced, inverseMixColumnSliced>(engine, key, use);
        };
        list.add({"bitsliced", setKeySliced, cryptBlocksSliced<std::uint64_t>});
#ifdef TESSALY_AES_TWO_LANES
        list.add({"bitsliced-2x64", setKeySliced, cryptBlocksSliced<TwoLanes>});
#endif
#ifdef TESSALY_AES_NI
        const auto cpu = cpu::features();
        if (cpu.aesni && cpu.ssse3 && cpu.sse41) list.add({"aes-ni", setKeyAesNi, cryptBlocksAesNi});
        if (cpu.aesni && cpu.ssse3 && cpu.sse41 && cpu.vaes && vaesAgreesWithAesNi())
            list.add({"vaes", setKeyAesNi, cryptBlocksVaes});
#endif
        return list;
    }();
    return list;
}

}  // namespace

bool AesEngine::setKey(std::span<const std::uint8_t> key, Direction use) {
    return paths().fastest().setKey(*this, key, use);
}

void AesEngine::cryptBlocks(std::uint8_t* blocks, std::size_t blockCount, Direction direction) const {
    paths().fastest().cryptBlocks(*this, blocks, blockCount, direction);
}

std::span<const Path> availablePaths() { return paths().all(); }

}  // namespace tessaly::aes
