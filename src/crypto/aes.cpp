// AES engine: tables generated at compile time from the field arithmetic of FIPS 197, the
// key expansion, the table-driven block function and the AES-NI block function.
#include "aes.h"

#include "bytes.h"
#include "cpu_features.h"

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

// table[r][x]: the column c0 c1 c2 c3 (big-endian) that byte x contributes through MixColumns
// (or InvMixColumns), rotated right by 8r bits for the byte's row r.
using RoundTables = std::array<std::array<std::uint32_t, 256>, 4>;
constexpr RoundTables makeRoundTables(const std::array<std::uint8_t, 256>& box,
                                      std::array<std::uint8_t, 4> factors) {
    RoundTables tables{};
    for (unsigned x = 0; x < 256; ++x) {
        const std::uint8_t s = box[x];
        const std::uint32_t column = std::uint32_t{multiply(s, factors[0])} << 24 |
                                     std::uint32_t{multiply(s, factors[1])} << 16 |
                                     std::uint32_t{multiply(s, factors[2])} << 8 |
                                     multiply(s, factors[3]);
        for (int r = 0; r < 4; ++r) tables[r][x] = rotateRight(column, 8 * r);
    }
    return tables;
}
constexpr RoundTables forwardTables = makeRoundTables(sbox, {2, 1, 1, 3});
constexpr RoundTables reverseTables = makeRoundTables(inverseSbox, {0x0E, 0x09, 0x0D, 0x0B});

constexpr std::array<std::uint32_t, 10> roundConstants = {
    0x01000000, 0x02000000, 0x04000000, 0x08000000, 0x10000000,
    0x20000000, 0x40000000, 0x80000000, 0x1B000000, 0x36000000};

constexpr std::uint32_t subWord(std::uint32_t w) {
    return std::uint32_t{sbox[w >> 24]} << 24 | std::uint32_t{sbox[(w >> 16) & 255]} << 16 |
           std::uint32_t{sbox[(w >> 8) & 255]} << 8 | sbox[w & 255];
}

// InvMixColumns of one key word: the reverse tables undo the S-box they include.
constexpr std::uint32_t inverseMixColumn(std::uint32_t w) {
    return reverseTables[0][sbox[w >> 24]] ^ reverseTables[1][sbox[(w >> 16) & 255]] ^
           reverseTables[2][sbox[(w >> 8) & 255]] ^ reverseTables[3][sbox[w & 255]];
}

constexpr std::uint8_t byteOf(std::uint32_t w, int index) {  // index 0 is the top byte
    return static_cast<std::uint8_t>(w >> (24 - 8 * index));
}

// ---- tables path -------------------------------------------------------------------------

// Lanes blocks at once, their rounds interleaved so the table loads overlap.
template <std::size_t Lanes>
void cryptLanesTables(const AesEngine& context, const std::uint8_t* in, std::uint8_t* out,
                      Direction direction) {
    const bool forward = direction == Direction::encipher;
    const RoundTables& tables = forward ? forwardTables : reverseTables;
    const auto& box = forward ? sbox : inverseSbox;
    const std::uint32_t* keys = forward ? context.encipherKeys.data() : context.decipherKeys.data();
    // Column j of the next state takes row r from column j + r (enciphering: ShiftRows) or
    // column j - r (deciphering: InvShiftRows).
    const int shift1 = forward ? 1 : 3, shift3 = forward ? 3 : 1;

    std::uint32_t s[Lanes][4];
    for (std::size_t lane = 0; lane < Lanes; ++lane)
        for (int j = 0; j < 4; ++j) s[lane][j] = load32_be(in + blockSize * lane + 4 * j) ^ keys[j];
    for (int round = 1; round < context.rounds; ++round) {
        keys += 4;
        for (std::size_t lane = 0; lane < Lanes; ++lane) {
            std::uint32_t t[4];
            for (int j = 0; j < 4; ++j)
                t[j] = tables[0][byteOf(s[lane][j], 0)] ^ tables[1][byteOf(s[lane][(j + shift1) & 3], 1)] ^
                       tables[2][byteOf(s[lane][(j + 2) & 3], 2)] ^
                       tables[3][byteOf(s[lane][(j + shift3) & 3], 3)] ^ keys[j];
            for (int j = 0; j < 4; ++j) s[lane][j] = t[j];
        }
    }
    keys += 4;
    for (std::size_t lane = 0; lane < Lanes; ++lane)
        for (int j = 0; j < 4; ++j) {
            const std::uint32_t* v = s[lane];
            const std::uint32_t column = std::uint32_t{box[byteOf(v[j], 0)]} << 24 |
                                         std::uint32_t{box[byteOf(v[(j + shift1) & 3], 1)]} << 16 |
                                         std::uint32_t{box[byteOf(v[(j + 2) & 3], 2)]} << 8 |
                                         box[byteOf(v[(j + shift3) & 3], 3)];
            store32_be(out + blockSize * lane + 4 * j, column ^ keys[j]);
        }
}

void cryptBlocksTables(const AesEngine& context, std::uint8_t* blocks, std::size_t blockCount,
                       Direction direction) {
    std::size_t i = 0;
    for (; i + 2 <= blockCount; i += 2)  // two lanes measured fastest on i686
        cryptLanesTables<2>(context, blocks + blockSize * i, blocks + blockSize * i, direction);
    for (; i < blockCount; ++i)
        cryptLanesTables<1>(context, blocks + blockSize * i, blocks + blockSize * i, direction);
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

void cryptBlocksAesNi(const AesEngine& context, std::uint8_t* blocks, std::size_t blockCount,
                      Direction direction) {
    if (direction == Direction::encipher)
        cryptBlocksNi<true>(context, blocks, blockCount);
    else
        cryptBlocksNi<false>(context, blocks, blockCount);
}

#endif  // TESSALY_AES_NI

const cpu::PathList<Path, 2>& paths() {
    static const cpu::PathList<Path, 2> list = [] {
        cpu::PathList<Path, 2> list;
        list.add({"tables", cryptBlocksTables});
#ifdef TESSALY_AES_NI
        const auto cpu = cpu::features();
        if (cpu.aesni && cpu.ssse3 && cpu.sse41) list.add({"aes-ni", cryptBlocksAesNi});
#endif
        return list;
    }();
    return list;
}

}  // namespace

bool AesEngine::setKey(std::span<const std::uint8_t> key, Direction use) {
    const std::size_t keyWords = key.size() / 4;
    if (key.size() != 16 && key.size() != 24 && key.size() != 32) return false;
    rounds = static_cast<std::int32_t>(keyWords + 6);
    const std::size_t totalWords = 4 * (rounds + 1);
    std::uint32_t* w = encipherKeys.data();
    for (std::size_t i = 0; i < keyWords; ++i) w[i] = load32_be(key.data() + 4 * i);
    for (std::size_t i = keyWords; i < totalWords; ++i) {
        std::uint32_t temp = w[i - 1];
        if (i % keyWords == 0)
            temp = subWord(rotateRight(temp, 24)) ^ roundConstants[i / keyWords - 1];
        else if (keyWords > 6 && i % keyWords == 4)
            temp = subWord(temp);
        w[i] = w[i - keyWords] ^ temp;
    }
    if (use == Direction::decipher) {
        // Equivalent inverse cipher: the round keys in reverse order, the inner ones passed
        // through InvMixColumns.
        std::uint32_t* d = decipherKeys.data();
        for (int round = 0; round <= rounds; ++round)
            for (int j = 0; j < 4; ++j) {
                const std::uint32_t word = w[4 * (rounds - round) + j];
                d[4 * round + j] = round == 0 || round == rounds ? word : inverseMixColumn(word);
            }
    }
    return true;
}

void AesEngine::cryptBlocks(std::uint8_t* blocks, std::size_t blockCount, Direction direction) const {
    paths().fastest().cryptBlocks(*this, blocks, blockCount, direction);
}

std::span<const Path> availablePaths() { return paths().all(); }

}  // namespace tessaly::aes
