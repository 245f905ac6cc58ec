// SHA-256 engine: portable compression unrolled at compile time, the SHA-extensions
// compression, and the streaming layer over whichever the processor runs.
#include "sha256.h"

#include <cstring>
#include <utility>

#include "bytes.h"
#include "wipe.h"
#include "cpu_features.h"

#if defined(__i386__) || defined(__x86_64__)
#define TESSALY_SHA256_SHANI 1
#include <immintrin.h>
#endif

namespace tessaly::sha256 {
namespace {

// The first 32 bits of the fractional parts of the square roots of the first 8 primes.
constexpr std::array<std::uint32_t, 8> initialState = {0x6a09e667, 0xbb67ae85, 0x3c6ef372,
                                                       0xa54ff53a, 0x510e527f, 0x9b05688c,
                                                       0x1f83d9ab, 0x5be0cd19};

// The first 32 bits of the fractional parts of the cube roots of the first 64 primes.
alignas(16) constexpr std::array<std::uint32_t, 64> roundConstants = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4,
    0xab1c5ed5, 0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe,
    0x9bdc06a7, 0xc19bf174, 0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f,
    0x4a7484aa, 0x5cb0a9dc, 0x76f988da, 0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7,
    0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967, 0x27b70a85, 0x2e1b2138, 0x4d2c6dfc,
    0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85, 0xa2bfe8a1, 0xa81a664b,
    0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070, 0x19a4c116,
    0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7,
    0xc67178f2};

// ---- portable ------------------------------------------------------------------------------

constexpr std::uint32_t rotateRight(std::uint32_t x, int n) { return x >> n | x << (32 - n); }

// The schedule lives in a 16-word ring: w[t mod 16] holds W[t].
template <int Round>
inline std::uint32_t scheduleWord(std::uint32_t* w) {
    if constexpr (Round >= 16) {
        const std::uint32_t w15 = w[(Round - 15) & 15], w2 = w[(Round - 2) & 15];
        const std::uint32_t s0 = rotateRight(w15, 7) ^ rotateRight(w15, 18) ^ (w15 >> 3);
        const std::uint32_t s1 = rotateRight(w2, 17) ^ rotateRight(w2, 19) ^ (w2 >> 10);
        w[Round & 15] += s0 + w[(Round - 7) & 15] + s1;
    }
    return w[Round & 15];
}

// One round with the eight working variables renamed instead of moved: round t treats
// v[(8 - t) mod 8] as a, v[(9 - t) mod 8] as b, and so on.
template <int Round>
inline void shaRound(std::uint32_t* v, std::uint32_t* w) {
    std::uint32_t& a = v[(8 - Round % 8) % 8];
    std::uint32_t& b = v[(9 - Round % 8) % 8];
    std::uint32_t& c = v[(10 - Round % 8) % 8];
    std::uint32_t& d = v[(11 - Round % 8) % 8];
    std::uint32_t& e = v[(12 - Round % 8) % 8];
    std::uint32_t& f = v[(13 - Round % 8) % 8];
    std::uint32_t& g = v[(14 - Round % 8) % 8];
    std::uint32_t& h = v[(15 - Round % 8) % 8];
    const std::uint32_t sigma1 = rotateRight(e, 6) ^ rotateRight(e, 11) ^ rotateRight(e, 25);
    const std::uint32_t choose = g ^ (e & (f ^ g));
    const std::uint32_t t1 = h + sigma1 + choose + roundConstants[Round] + scheduleWord<Round>(w);
    const std::uint32_t sigma0 = rotateRight(a, 2) ^ rotateRight(a, 13) ^ rotateRight(a, 22);
    const std::uint32_t majority = (a & b) | (c & (a | b));
    d += t1;
    h = t1 + sigma0 + majority;
}

template <std::size_t... Rounds>
inline void allRounds(std::uint32_t* v, std::uint32_t* w, std::index_sequence<Rounds...>) {
    (shaRound<Rounds>(v, w), ...);
}

void compressPortable(std::array<std::uint32_t, 8>& state, const std::uint8_t* blocks,
                      std::size_t blockCount) {
    for (; blockCount > 0; --blockCount, blocks += blockSize) {
        std::uint32_t w[16];
        for (int i = 0; i < 16; ++i) w[i] = load32_be(blocks + 4 * i);
        std::uint32_t v[8];
        for (int i = 0; i < 8; ++i) v[i] = state[i];
        allRounds(v, w, std::make_index_sequence<64>{});
        for (int i = 0; i < 8; ++i) state[i] += v[i];
    }
}

// ---- SHA extensions ------------------------------------------------------------------------

#ifdef TESSALY_SHA256_SHANI

#define TESSALY_SHANI __attribute__((target("sha,sse4.1,ssse3")))

// Four rounds, group g (rounds 4g..4g+3), with the message schedule held as four vectors of
// four words, m[g mod 4] holding W[4g..4g+3]. While the rounds run, the schedule for later
// groups is advanced: msg2 completes group g + 1, msg1 starts group g + 3.
template <int Group>
TESSALY_SHANI inline void fourRounds(__m128i& abef, __m128i& cdgh, __m128i* m) {
    __m128i& current = m[Group % 4];
    const __m128i k = _mm_load_si128(reinterpret_cast<const __m128i*>(&roundConstants[4 * Group]));
    __m128i words = _mm_add_epi32(current, k);
    cdgh = _mm_sha256rnds2_epu32(cdgh, abef, words);
    if constexpr (Group >= 3 && Group <= 14) {
        __m128i& next = m[(Group + 1) % 4];
        next = _mm_add_epi32(next, _mm_alignr_epi8(current, m[(Group + 3) % 4], 4));
        next = _mm_sha256msg2_epu32(next, current);
    }
    words = _mm_shuffle_epi32(words, 0x0E);
    abef = _mm_sha256rnds2_epu32(abef, cdgh, words);
    if constexpr (Group >= 1 && Group <= 12) {
        __m128i& later = m[(Group + 3) % 4];
        later = _mm_sha256msg1_epu32(later, current);
    }
}

template <std::size_t... Groups>
TESSALY_SHANI inline void allGroups(__m128i& abef, __m128i& cdgh, __m128i* m,
                                    std::index_sequence<Groups...>) {
    (fourRounds<Groups>(abef, cdgh, m), ...);
}

TESSALY_SHANI void compressShaNi(std::array<std::uint32_t, 8>& state, const std::uint8_t* blocks,
                                 std::size_t blockCount) {
    // The instructions keep the state as (a, b, e, f) and (c, d, g, h), high word first.
    const __m128i dcba = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[0]));
    const __m128i hgfe = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[4]));
    const __m128i cdab = _mm_shuffle_epi32(dcba, 0xB1);
    const __m128i efgh = _mm_shuffle_epi32(hgfe, 0x1B);
    __m128i abef = _mm_alignr_epi8(cdab, efgh, 8);
    __m128i cdgh = _mm_blend_epi16(efgh, cdab, 0xF0);
    const __m128i bigEndianWords = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);

    for (; blockCount > 0; --blockCount, blocks += blockSize) {
        const __m128i abefBefore = abef, cdghBefore = cdgh;
        __m128i m[4];
        for (int i = 0; i < 4; ++i)
            m[i] = _mm_shuffle_epi8(
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(blocks + 16 * i)), bigEndianWords);
        allGroups(abef, cdgh, m, std::make_index_sequence<16>{});
        abef = _mm_add_epi32(abef, abefBefore);
        cdgh = _mm_add_epi32(cdgh, cdghBefore);
    }

    const __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
    const __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[0]), _mm_blend_epi16(feba, dchg, 0xF0));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[4]), _mm_alignr_epi8(dchg, feba, 8));
}

#endif  // TESSALY_SHA256_SHANI

const cpu::PathList<CompressionPath, 2>& paths() {
    static const cpu::PathList<CompressionPath, 2> list = [] {
        cpu::PathList<CompressionPath, 2> list;
        list.add({"portable", compressPortable});
#ifdef TESSALY_SHA256_SHANI
        const auto cpu = cpu::features();
        if (cpu.sha && cpu.sse41 && cpu.ssse3) list.add({"sha-ni", compressShaNi});
#endif
        return list;
    }();
    return list;
}

void compressBlocks(std::array<std::uint32_t, 8>& state, const std::uint8_t* blocks,
                    std::size_t blockCount) {
    paths().fastest().compress(state, blocks, blockCount);
}

constexpr std::array<std::uint8_t, 64> padding = {0x80};

}  // namespace

std::span<const CompressionPath> availablePaths() { return paths().all(); }

void initialise(SHA256Context& context) {
    context.total = {0, 0};
    context.state = initialState;
}

void update(SHA256Context& context, std::span<const std::uint8_t> data) {
    if (data.empty()) return;
    const std::uint8_t* in = data.data();
    std::size_t length = data.size();
    std::size_t left = context.total[0] & 63;
    const std::size_t fill = blockSize - left;
    const std::uint32_t added = static_cast<std::uint32_t>(length);
    context.total[0] += added;
    if (context.total[0] < added) ++context.total[1];

    if (left != 0 && length >= fill) {
        std::memcpy(context.buffer.data() + left, in, fill);
        compressBlocks(context.state, context.buffer.data(), 1);
        in += fill;
        length -= fill;
        left = 0;
    }
    if (length >= blockSize) {
        const std::size_t blocks = length / blockSize;
        compressBlocks(context.state, in, blocks);
        in += blocks * blockSize;
        length -= blocks * blockSize;
    }
    if (length > 0) std::memcpy(context.buffer.data() + left, in, length);
}

void finish(SHA256Context& context, std::uint8_t* digest) {
    std::uint8_t lengthBytes[8];
    store32_be(lengthBytes, context.total[1] << 3 | context.total[0] >> 29);
    store32_be(lengthBytes + 4, context.total[0] << 3);
    const std::size_t last = context.total[0] & 63;
    const std::size_t padLength = last < 56 ? 56 - last : 120 - last;
    update(context, {padding.data(), padLength});
    update(context, lengthBytes);
    for (int i = 0; i < 8; ++i) store32_be(digest + 4 * i, context.state[i]);
    wipeObject(context);
}

void digest(std::span<const std::uint8_t> data, std::uint8_t* out) {
    SHA256Context context;
    initialise(context);
    update(context, data);
    finish(context, out);
}

}  // namespace tessaly::sha256
