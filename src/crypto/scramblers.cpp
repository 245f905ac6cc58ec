// Byte scramblers: the plain loops, and SSE and AVX2 versions that give the same bytes.
#include "scramblers.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "cpu_features.h"

#if defined(__i386__) || defined(__x86_64__)
#define TESSALY_SCRAMBLERS_SSSE3 1  // and SSE4.1 and AVX2 kernels
#include <immintrin.h>
#endif

namespace tessaly::scramblers {
namespace {

// ---- the substitution table ----------------------------------------------------------------

// T: the identity, the range from the space to "z" mapped onto itself in reverse (154 - i;
// 77 stays), then five exchanges. Hosts hold data scrambled with exactly this table.
constexpr std::array<std::uint8_t, 256> forwardTable = [] {
    std::array<std::uint8_t, 256> t{};
    for (unsigned i = 0; i < 256; ++i) t[i] = static_cast<std::uint8_t>(i);
    for (unsigned i = 32; i <= 122; ++i) t[i] = static_cast<std::uint8_t>(154 - i);
    const std::pair<int, int> exchanges[] = {{56, 65}, {3, 30}, {10, 123}, {29, 31}, {17, 71}};
    for (const auto& [a, b] : exchanges) std::swap(t[a], t[b]);
    return t;
}();

constexpr std::array<std::uint8_t, 256> inverseTable = [] {
    std::array<std::uint8_t, 256> u{};
    for (unsigned i = 0; i < 256; ++i) u[forwardTable[i]] = static_cast<std::uint8_t>(i);
    return u;
}();

// ---- plain: the loops as specified ---------------------------------------------------------

void chainXorPlain(std::uint8_t* data, std::size_t length, std::uint8_t seed) {
    for (std::size_t i = 0; i < length; ++i) seed = data[i] ^= seed;
}

void unchainXorPlain(std::uint8_t* data, std::size_t length, std::uint8_t seed) {
    for (std::size_t i = 0; i < length; ++i) {
        const std::uint8_t c = data[i];
        data[i] = c ^ seed;
        seed = c;
    }
}

// Rotates by bits (1 to 7) positions within the whole buffer.
void shiftBitsPlain(std::uint8_t* data, std::size_t length, unsigned bits, bool towardsStart) {
    const auto byte = [](unsigned v) { return static_cast<std::uint8_t>(v); };
    if (towardsStart) {
        const std::uint8_t first = data[0];
        for (std::size_t i = 0; i + 1 < length; ++i)
            data[i] = byte(data[i] << bits | data[i + 1] >> (8 - bits));
        data[length - 1] = byte(data[length - 1] << bits | first >> (8 - bits));
    } else {
        const std::uint8_t last = data[length - 1];
        for (std::size_t i = length - 1; i > 0; --i)
            data[i] = byte(data[i - 1] << (8 - bits) | data[i] >> bits);
        data[0] = byte(last << (8 - bits) | data[0] >> bits);
    }
}

void substitutePlain(std::uint8_t* data, std::size_t length, bool inverse) {
    const auto& table = inverse ? inverseTable : forwardTable;
    for (std::size_t i = 0; i < length; ++i) data[i] = table[data[i]];
}

// ---- SSSE3 ----------------------------------------------------------------------------------

#ifdef TESSALY_SCRAMBLERS_SSSE3

#define TESSALY_SSSE3 __attribute__((target("ssse3")))

TESSALY_SSSE3 inline __m128i load(const std::uint8_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
TESSALY_SSSE3 inline void store(std::uint8_t* p, __m128i v) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}

// Prefix XOR inside each 16-byte block in four doubling steps, then the carry from the blocks
// before XORed into all sixteen; the next carry is this one XOR the block's own last byte.
TESSALY_SSSE3 void chainXorSsse3(std::uint8_t* data, std::size_t length, std::uint8_t seed) {
    __m128i carry = _mm_set1_epi8(static_cast<char>(seed));
    const __m128i lastByte = _mm_set1_epi8(15);
    std::size_t i = 0;
    for (; i + 16 <= length; i += 16) {
        __m128i x = load(data + i);
        x = _mm_xor_si128(x, _mm_slli_si128(x, 1));
        x = _mm_xor_si128(x, _mm_slli_si128(x, 2));
        x = _mm_xor_si128(x, _mm_slli_si128(x, 4));
        x = _mm_xor_si128(x, _mm_slli_si128(x, 8));
        store(data + i, _mm_xor_si128(x, carry));
        carry = _mm_xor_si128(carry, _mm_shuffle_epi8(x, lastByte));
    }
    if (i > 0) seed = data[i - 1];
    chainXorPlain(data + i, length - i, seed);
}

// Each byte XOR the input byte before it; the block before stays in a register, since the
// buffer is overwritten in place.
TESSALY_SSSE3 void unchainXorSsse3(std::uint8_t* data, std::size_t length, std::uint8_t seed) {
    __m128i previous = _mm_set1_epi8(static_cast<char>(seed));
    std::size_t i = 0;
    for (; i + 16 <= length; i += 16) {
        const __m128i x = load(data + i);
        store(data + i, _mm_xor_si128(x, _mm_alignr_epi8(x, previous, 15)));
        previous = x;
    }
    if (i > 0) seed = static_cast<std::uint8_t>(_mm_cvtsi128_si32(_mm_srli_si128(previous, 15)));
    unchainXorPlain(data + i, length - i, seed);
}

// out = (a << bits) | (b >> (8 - bits)) per byte, with 16-bit shifts and masks.
TESSALY_SSSE3 inline __m128i funnel(__m128i a, __m128i b, __m128i bits, __m128i rest,
                                    __m128i highMask, __m128i lowMask) {
    return _mm_or_si128(_mm_and_si128(_mm_sll_epi16(a, bits), highMask),
                        _mm_and_si128(_mm_srl_epi16(b, rest), lowMask));
}

TESSALY_SSSE3 void shiftBitsSsse3(std::uint8_t* data, std::size_t length, unsigned bits,
                                  bool towardsStart) {
    if (length < 34) return shiftBitsPlain(data, length, bits, towardsStart);
    const __m128i shiftLeft = _mm_cvtsi32_si128(static_cast<int>(towardsStart ? bits : 8 - bits));
    const __m128i shiftRight = _mm_cvtsi32_si128(static_cast<int>(towardsStart ? 8 - bits : bits));
    const unsigned left = towardsStart ? bits : 8 - bits;
    const __m128i highMask = _mm_set1_epi8(static_cast<char>(0xFF << left & 0xFF));
    const __m128i lowMask = _mm_set1_epi8(static_cast<char>(0xFF >> (8 - left)));
    if (towardsStart) {
        // data[i] = data[i] << bits | data[i + 1] >> (8 - bits), front to back; the reads at
        // i + 1 are ahead of every write.
        const std::uint8_t first = data[0];
        std::size_t i = 0;
        for (; i + 17 <= length; i += 16)
            store(data + i, funnel(load(data + i), load(data + i + 1), shiftLeft, shiftRight, highMask, lowMask));
        for (; i + 1 < length; ++i)
            data[i] = static_cast<std::uint8_t>(data[i] << bits | data[i + 1] >> (8 - bits));
        data[length - 1] = static_cast<std::uint8_t>(data[length - 1] << bits | first >> (8 - bits));
    } else {
        // data[i] = data[i - 1] << (8 - bits) | data[i] >> bits, back to front.
        const std::uint8_t last = data[length - 1];
        std::size_t i = length;  // blocks end before i
        for (; i >= 17; i -= 16)
            store(data + i - 16, funnel(load(data + i - 17), load(data + i - 16), shiftLeft, shiftRight, highMask, lowMask));
        for (--i; i > 0; --i)
            data[i] = static_cast<std::uint8_t>(data[i - 1] << (8 - bits) | data[i] >> bits);
        data[0] = static_cast<std::uint8_t>(last << (8 - bits) | data[0] >> bits);
    }
}

// The tables are 154 - x on the range from the space to "z" and x elsewhere, but for ten
// exchanged entries. Those are patched through nibble lookups: for each low nibble, the one
// exceptional byte with that nibble and its value. Two exceptions share a low nibble, so the
// patches come in two rounds. All of it is derived here from the tables.
constexpr std::uint8_t mirrored(unsigned x) {
    return static_cast<std::uint8_t>(x >= 32 && x <= 122 ? 154 - x : x);
}

struct PatchRound {
    std::array<std::uint8_t, 16> position;  // a byte with another low nibble where none
    std::array<std::uint8_t, 16> value;
};
using PatchRounds = std::array<PatchRound, 2>;

template <const std::array<std::uint8_t, 256>& Table>
constexpr PatchRounds patchRoundsOf() {
    PatchRounds rounds{};
    std::array<std::array<bool, 16>, 2> used{};
    for (auto& round : rounds)
        for (unsigned nibble = 0; nibble < 16; ++nibble) round.position[nibble] = static_cast<std::uint8_t>(nibble ^ 1);
    for (unsigned x = 0; x < 256; ++x) {
        if (Table[x] == mirrored(x)) continue;
        std::size_t r = 0;
        while (used[r][x & 15]) ++r;  // a third round would not compile: r would run past 1
        used[r][x & 15] = true;
        rounds[r].position[x & 15] = static_cast<std::uint8_t>(x);
        rounds[r].value[x & 15] = Table[x];
    }
    return rounds;
}
constexpr PatchRounds forwardPatches = patchRoundsOf<forwardTable>();
constexpr PatchRounds inversePatches = patchRoundsOf<inverseTable>();

#define TESSALY_SSE41 __attribute__((target("sse4.1,ssse3")))

TESSALY_SSE41 inline __m128i table16(const std::array<std::uint8_t, 16>& table) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(table.data()));
}

TESSALY_SSE41 void substituteSse41(std::uint8_t* data, std::size_t length, bool inverse) {
    const PatchRounds& patches = inverse ? inversePatches : forwardPatches;
    const __m128i position0 = table16(patches[0].position), value0 = table16(patches[0].value);
    const __m128i position1 = table16(patches[1].position), value1 = table16(patches[1].value);
    const __m128i bias = _mm_set1_epi8(32), span = _mm_set1_epi8(90);  // 122 - 32
    const __m128i mirror = _mm_set1_epi8(static_cast<char>(154)), lowNibble = _mm_set1_epi8(15);
    std::size_t i = 0;
    for (; i + 16 <= length; i += 16) {
        const __m128i x = load(data + i);
        const __m128i offset = _mm_sub_epi8(x, bias);  // in range when offset <= 90, unsigned
        const __m128i inRange = _mm_cmpeq_epi8(_mm_min_epu8(offset, span), offset);
        __m128i y = _mm_blendv_epi8(x, _mm_sub_epi8(mirror, x), inRange);
        const __m128i low = _mm_and_si128(x, lowNibble);
        y = _mm_blendv_epi8(y, _mm_shuffle_epi8(value0, low), _mm_cmpeq_epi8(_mm_shuffle_epi8(position0, low), x));
        y = _mm_blendv_epi8(y, _mm_shuffle_epi8(value1, low), _mm_cmpeq_epi8(_mm_shuffle_epi8(position1, low), x));
        store(data + i, y);
    }
    substitutePlain(data + i, length - i, inverse);
}

// ---- AVX2: the same, 32 bytes at a time ----------------------------------------------------

#define TESSALY_AVX2 __attribute__((target("avx2")))

TESSALY_AVX2 inline __m256i load32(const std::uint8_t* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}
TESSALY_AVX2 inline void store32(std::uint8_t* p, __m256i v) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}
TESSALY_AVX2 inline __m256i table32(const std::array<std::uint8_t, 16>& table) {
    return _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(table.data())));
}

// Prefix XOR inside each 16-byte lane, then the low lane's last byte into the high lane; that
// is the block's own prefix. The carry from the blocks before is XORed in on the way out, and
// the next carry is this one XOR the block's own last byte, so the only dependence from block
// to block is one XOR.
TESSALY_AVX2 void chainXorAvx2(std::uint8_t* data, std::size_t length, std::uint8_t seed) {
    __m256i carry = _mm256_set1_epi8(static_cast<char>(seed));
    const __m256i lastOfLane = _mm256_set1_epi8(15);
    std::size_t i = 0;
    for (; i + 32 <= length; i += 32) {
        __m256i x = load32(data + i);
        x = _mm256_xor_si256(x, _mm256_slli_si256(x, 1));
        x = _mm256_xor_si256(x, _mm256_slli_si256(x, 2));
        x = _mm256_xor_si256(x, _mm256_slli_si256(x, 4));
        x = _mm256_xor_si256(x, _mm256_slli_si256(x, 8));
        const __m256i laneLast = _mm256_shuffle_epi8(x, lastOfLane);
        x = _mm256_xor_si256(x, _mm256_permute2x128_si256(laneLast, laneLast, 0x08));  // low into high
        const __m256i last = _mm256_shuffle_epi8(x, lastOfLane);
        store32(data + i, _mm256_xor_si256(x, carry));
        carry = _mm256_xor_si256(carry, _mm256_permute2x128_si256(last, last, 0x11));
    }
    _mm256_zeroupper();  // later SSE code must not pay for dirty upper halves
    if (i > 0) seed = data[i - 1];
    chainXorPlain(data + i, length - i, seed);
}

TESSALY_AVX2 void substituteAvx2(std::uint8_t* data, std::size_t length, bool inverse) {
    const PatchRounds& patches = inverse ? inversePatches : forwardPatches;
    const __m256i position0 = table32(patches[0].position), value0 = table32(patches[0].value);
    const __m256i position1 = table32(patches[1].position), value1 = table32(patches[1].value);
    const __m256i bias = _mm256_set1_epi8(32), span = _mm256_set1_epi8(90);
    const __m256i mirror = _mm256_set1_epi8(static_cast<char>(154)), lowNibble = _mm256_set1_epi8(15);
    std::size_t i = 0;
    for (; i + 32 <= length; i += 32) {
        const __m256i x = load32(data + i);
        const __m256i offset = _mm256_sub_epi8(x, bias);
        const __m256i inRange = _mm256_cmpeq_epi8(_mm256_min_epu8(offset, span), offset);
        __m256i y = _mm256_blendv_epi8(x, _mm256_sub_epi8(mirror, x), inRange);
        const __m256i low = _mm256_and_si256(x, lowNibble);
        y = _mm256_blendv_epi8(y, _mm256_shuffle_epi8(value0, low),
                               _mm256_cmpeq_epi8(_mm256_shuffle_epi8(position0, low), x));
        y = _mm256_blendv_epi8(y, _mm256_shuffle_epi8(value1, low),
                               _mm256_cmpeq_epi8(_mm256_shuffle_epi8(position1, low), x));
        store32(data + i, y);
    }
    _mm256_zeroupper();
    substitutePlain(data + i, length - i, inverse);
}

#endif  // TESSALY_SCRAMBLERS_SSSE3

const cpu::PathList<Path, 3>& paths() {
    static const cpu::PathList<Path, 3> list = [] {
        cpu::PathList<Path, 3> list;
        list.add({"plain", chainXorPlain, unchainXorPlain, shiftBitsPlain, substitutePlain});
#ifdef TESSALY_SCRAMBLERS_SSSE3
        const auto cpu = cpu::features();
        if (cpu.ssse3 && cpu.sse41)
            list.add({"sse4.1", chainXorSsse3, unchainXorSsse3, shiftBitsSsse3, substituteSse41});
        if (cpu.ssse3 && cpu.sse41 && cpu.avx2)
            list.add({"avx2", chainXorAvx2, unchainXorSsse3, shiftBitsSsse3, substituteAvx2});
#endif
        return list;
    }();
    return list;
}

}  // namespace

std::span<const Path> availablePaths() { return paths().all(); }

void chainXor(std::uint8_t* data, std::size_t length, std::uint8_t seed) {
    paths().fastest().chainXor(data, length, seed);
}

void unchainXor(std::uint8_t* data, std::size_t length, std::uint8_t seed) {
    paths().fastest().unchainXor(data, length, seed);
}

// Whole bytes first, then the remaining bits; a whole-byte part beyond the length is taken
// modulo the length, so the result is the rotation by count mod (8 * length).
void rotateBits(std::uint8_t* data, std::size_t length, unsigned count, bool towardsStart) {
    if (length == 0) return;
    std::size_t wholeBytes = (count & 0xFF) / 8;
    const unsigned bits = count % 8;
    if (wholeBytes > length) wholeBytes %= length;
    if (wholeBytes > 0) {
        if (towardsStart)
            std::rotate(data, data + wholeBytes, data + length);
        else
            std::rotate(data, data + length - wholeBytes, data + length);
    }
    if (bits > 0) paths().fastest().shiftBits(data, length, bits, towardsStart);
}

void substitute(std::uint8_t* data, std::size_t length, bool inverse) {
    paths().fastest().substitute(data, length, inverse);
}

}  // namespace tessaly::scramblers
