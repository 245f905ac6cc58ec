// Byte scramblers: the plain loops, and SSE, AVX2 and AVX-512 versions that give the same
// bytes.
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

// Whole bytes with std::rotate, then the bits.
void rotatePlain(std::uint8_t* data, std::size_t length, std::size_t wholeBytes, unsigned bits, bool towardsStart) {
    if (wholeBytes > 0) {
        if (towardsStart)
            std::rotate(data, data + wholeBytes, data + length);
        else
            std::rotate(data, data + length - wholeBytes, data + length);
    }
    if (bits > 0) shiftBitsPlain(data, length, bits, towardsStart);
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

// Rotation by k whole bytes and b bits in one pass, the same in every vector width: towards
// the start, out[i] = in[i + k] << b | in[i + k + 1] >> (8 - b), indices modulo the length,
// front to back, so every read is at or ahead of every write; towards the end, out[i] =
// in[i - k - 1] << (8 - b) | in[i - k] >> b, back to front. The k + 1 bytes that the last
// outputs read after they were overwritten are kept aside first (k < 32: the count is a
// byte). b = 0 works too: the shifted-out half is masked away.
template <typename Kernel>
[[gnu::always_inline]] inline void rotateFused(std::uint8_t* data, std::size_t n, std::size_t k, unsigned b,
                                               bool towardsStart) {
    constexpr std::size_t width = Kernel::width;
    if (n < 2 * width + k + 2) return rotatePlain(data, n, k, b, towardsStart);
    const auto funnelByte = [](unsigned high, unsigned low, unsigned left) {
        return static_cast<std::uint8_t>((high << left | low >> (8 - left)) & 0xFF);
    };
    std::uint8_t kept[33];
    if (towardsStart) {
        std::memcpy(kept, data, k + 1);
        const Kernel kernel(b);
        std::size_t i = 0;
        for (; i + k + 1 + width <= n; i += width) kernel.apply(data + i, data + i + k, data + i + k + 1);
        const auto source = [&](std::size_t j) { return j < n ? data[j] : kept[j - n]; };
        for (; i < n; ++i) data[i] = funnelByte(source(i + k), source(i + k + 1), b);
    } else {
        std::memcpy(kept, data + n - k - 1, k + 1);  // kept[j] is data[n - k - 1 + j]
        const Kernel kernel(8 - b);
        std::size_t end = n;  // blocks end before end
        for (; end >= width + k + 1; end -= width)
            kernel.apply(data + end - width, data + end - width - k - 1, data + end - width - k);
        // Index i - k - 1 or i - k below 0 wraps to the kept bytes.
        const auto source = [&](std::size_t i, std::size_t back) {
            return i >= back ? data[i - back] : kept[k + 1 + i - back];
        };
        for (std::size_t i = end; i-- > 0;) data[i] = funnelByte(source(i, k + 1), source(i, k), 8 - b);
    }
}

// out = (a << left) | (b >> (8 - left)) per byte, with 16-bit shifts and masks.
struct FunnelSse {
    static constexpr std::size_t width = 16;
    __m128i shiftLeft, shiftRight, highMask, lowMask;
    TESSALY_SSSE3 explicit FunnelSse(unsigned left)
        : shiftLeft(_mm_cvtsi32_si128(static_cast<int>(left))),
          shiftRight(_mm_cvtsi32_si128(static_cast<int>(8 - left))),
          highMask(_mm_set1_epi8(static_cast<char>(0xFF << left & 0xFF))),
          lowMask(_mm_set1_epi8(static_cast<char>(0xFF >> (8 - left)))) {}
    TESSALY_SSSE3 void apply(std::uint8_t* out, const std::uint8_t* a, const std::uint8_t* b) const {
        store(out, _mm_or_si128(_mm_and_si128(_mm_sll_epi16(load(a), shiftLeft), highMask),
                                _mm_and_si128(_mm_srl_epi16(load(b), shiftRight), lowMask)));
    }
};

TESSALY_SSSE3 void rotateSsse3(std::uint8_t* data, std::size_t length, std::size_t wholeBytes, unsigned bits,
                               bool towardsStart) {
    rotateFused<FunnelSse>(data, length, wholeBytes, bits, towardsStart);
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

struct FunnelAvx2 {
    static constexpr std::size_t width = 32;
    __m128i shiftLeft, shiftRight;
    __m256i highMask, lowMask;
    TESSALY_AVX2 explicit FunnelAvx2(unsigned left)
        : shiftLeft(_mm_cvtsi32_si128(static_cast<int>(left))),
          shiftRight(_mm_cvtsi32_si128(static_cast<int>(8 - left))),
          highMask(_mm256_set1_epi8(static_cast<char>(0xFF << left & 0xFF))),
          lowMask(_mm256_set1_epi8(static_cast<char>(0xFF >> (8 - left)))) {}
    TESSALY_AVX2 void apply(std::uint8_t* out, const std::uint8_t* a, const std::uint8_t* b) const {
        store32(out, _mm256_or_si256(_mm256_and_si256(_mm256_sll_epi16(load32(a), shiftLeft), highMask),
                                     _mm256_and_si256(_mm256_srl_epi16(load32(b), shiftRight), lowMask)));
    }
};

TESSALY_AVX2 void rotateAvx2(std::uint8_t* data, std::size_t length, std::size_t wholeBytes, unsigned bits,
                             bool towardsStart) {
    rotateFused<FunnelAvx2>(data, length, wholeBytes, bits, towardsStart);
    _mm256_zeroupper();
}

// Each byte XOR the input byte before it: the 32 bytes one byte back are the block shifted
// across its two lanes, with the last byte of the block before in front.
TESSALY_AVX2 void unchainXorAvx2(std::uint8_t* data, std::size_t length, std::uint8_t seed) {
    __m256i previous = _mm256_set1_epi8(static_cast<char>(seed));
    std::size_t i = 0;
    for (; i + 32 <= length; i += 32) {
        const __m256i x = load32(data + i);
        const __m256i straddle = _mm256_permute2x128_si256(previous, x, 0x21);  // previous high, x low
        store32(data + i, _mm256_xor_si256(x, _mm256_alignr_epi8(x, straddle, 15)));
        previous = x;
    }
    if (i > 0) seed = static_cast<std::uint8_t>(_mm256_extract_epi8(previous, 31));
    _mm256_zeroupper();
    unchainXorSsse3(data + i, length - i, seed);
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

// ---- AVX-512 VBMI: the table itself in four registers ---------------------------------------

#define TESSALY_VBMI __attribute__((target("avx512f,avx512bw,avx512vbmi,avx2")))

// Each byte picks its entry from the two 128-entry halves at once (VPERMI2B reads the low
// seven bits of the index), and its top bit chooses between them.
TESSALY_VBMI void substituteVbmi(std::uint8_t* data, std::size_t length, bool inverse) {
    const std::uint8_t* table = (inverse ? inverseTable : forwardTable).data();
    const __m512i t0 = _mm512_loadu_si512(table), t1 = _mm512_loadu_si512(table + 64);
    const __m512i t2 = _mm512_loadu_si512(table + 128), t3 = _mm512_loadu_si512(table + 192);
    std::size_t i = 0;
    for (; i + 64 <= length; i += 64) {
        const __m512i x = _mm512_loadu_si512(data + i);
        const __m512i low = _mm512_permutex2var_epi8(t0, x, t1);
        const __m512i high = _mm512_permutex2var_epi8(t2, x, t3);
        _mm512_storeu_si512(data + i, _mm512_mask_blend_epi8(_mm512_movepi8_mask(x), low, high));
    }
    _mm256_zeroupper();
    substitutePlain(data + i, length - i, inverse);
}

#endif  // TESSALY_SCRAMBLERS_SSSE3

const cpu::PathList<Path, 4>& paths() {
    static const cpu::PathList<Path, 4> list = [] {
        cpu::PathList<Path, 4> list;
        list.add({"plain", chainXorPlain, unchainXorPlain, rotatePlain, substitutePlain});
#ifdef TESSALY_SCRAMBLERS_SSSE3
        const auto cpu = cpu::features();
        if (cpu.ssse3 && cpu.sse41)
            list.add({"sse4.1", chainXorSsse3, unchainXorSsse3, rotateSsse3, substituteSse41});
        if (cpu.ssse3 && cpu.sse41 && cpu.avx2)
            list.add({"avx2", chainXorAvx2, unchainXorAvx2, rotateAvx2, substituteAvx2});
        if (cpu.ssse3 && cpu.sse41 && cpu.avx2 && cpu.avx512vbmi)
            list.add({"avx512vbmi", chainXorAvx2, unchainXorAvx2, rotateAvx2, substituteVbmi});
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
    const std::size_t wholeBytes = (count & 0xFF) / 8 % length;
    const unsigned bits = count % 8;
    if (wholeBytes > 0 || bits > 0) paths().fastest().rotate(data, length, wholeBytes, bits, towardsStart);
}

void substitute(std::uint8_t* data, std::size_t length, bool inverse) {
    paths().fastest().substitute(data, length, inverse);
}

}  // namespace tessaly::scramblers
