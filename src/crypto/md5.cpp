// MD5 engine: the RFC 1321 compression unrolled at compile time, streaming, and HMAC-MD5.
#include "md5.h"

#include <cstring>
#include <utility>

#include "bytes.h"
#include "wipe.h"

namespace tessaly::md5 {
namespace {

constexpr std::array<std::uint32_t, 4> initialState = {0x67452301, 0xefcdab89, 0x98badcfe,
                                                       0x10325476};

// T[i] = floor(2^32 * |sin(i + 1)|), i = 0..63 (RFC 1321, section 3.4).
constexpr std::array<std::uint32_t, 64> additiveConstants = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613,
    0xfd469501, 0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193,
    0xa679438e, 0x49b40821, 0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d,
    0x02441453, 0xd8a1e681, 0xe7d3fbc8, 0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed,
    0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a, 0xfffa3942, 0x8771f681, 0x6d9d6122,
    0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70, 0x289b7ec6, 0xeaa127fa,
    0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665, 0xf4292244,
    0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb,
    0xeb86d391};

// Left-rotation amounts: four per round, repeated over the round's sixteen steps.
constexpr std::array<std::array<int, 4>, 4> rotations = {
    {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}}};

// Which message word step i reads: i, 1 + 5i, 5 + 3i, 7i (mod 16) in rounds 1 to 4.
constexpr int messageIndex(int step) {
    const int i = step % 16;
    switch (step / 16) {
        case 0: return i;
        case 1: return (1 + 5 * i) % 16;
        case 2: return (5 + 3 * i) % 16;
        default: return (7 * i) % 16;
    }
}

constexpr std::uint32_t rotateLeft(std::uint32_t x, int n) { return x << n | x >> (32 - n); }

// One step: a = b + ((a + f(b, c, d) + X[k] + T[i]) <<< s). The round functions are written
// in their cheaper equivalent forms.
template <int Step>
inline void step(std::uint32_t& a, std::uint32_t b, std::uint32_t c, std::uint32_t d,
                 const std::uint32_t* x) {
    // b is the value the step before just computed, so everything that does not read it is
    // added first and the chain from b to a stays one or two operations long.
    a += x[messageIndex(Step)] + additiveConstants[Step];
    if constexpr (Step < 16) {
        a += d ^ (b & (c ^ d));  // F = (b & c) | (~b & d)
    } else if constexpr (Step < 32) {
        a += c & ~d;  // G = (b & d) | (c & ~d): the two terms share no bit, so they add
        a += b & d;
    } else if constexpr (Step < 48) {
        a += b ^ (c ^ d);  // H
    } else {
        a += c ^ (b | ~d);  // I
    }
    a = b + rotateLeft(a, rotations[Step / 16][Step % 4]);
}

// Four steps with the variables rotated as RFC 1321 lists them: [abcd] [dabc] [cdab] [bcda].
template <int First>
inline void fourSteps(std::uint32_t& a, std::uint32_t& b, std::uint32_t& c, std::uint32_t& d,
                      const std::uint32_t* x) {
    step<First>(a, b, c, d, x);
    step<First + 1>(d, a, b, c, x);
    step<First + 2>(c, d, a, b, x);
    step<First + 3>(b, c, d, a, x);
}

template <std::size_t... Group>
inline void allSteps(std::uint32_t& a, std::uint32_t& b, std::uint32_t& c, std::uint32_t& d,
                     const std::uint32_t* x, std::index_sequence<Group...>) {
    (fourSteps<4 * Group>(a, b, c, d, x), ...);
}

void compress(std::array<std::uint32_t, 4>& state, const std::uint8_t* block) {
    std::uint32_t x[16];
    for (int i = 0; i < 16; ++i) x[i] = load32_le(block + 4 * i);
    std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    allSteps(a, b, c, d, x, std::make_index_sequence<16>{});
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
}

constexpr std::array<std::uint8_t, 64> padding = {0x80};

}  // namespace

void initialise(MD5Context& context) {
    context.state = initialState;
    context.count = {0, 0};
}

void update(MD5Context& context, std::span<const std::uint8_t> data) {
    const std::size_t length = data.size();
    std::size_t index = (context.count[0] >> 3) & 63;
    const std::uint32_t bits = static_cast<std::uint32_t>(length) << 3;
    context.count[0] += bits;
    if (context.count[0] < bits) ++context.count[1];
    context.count[1] += static_cast<std::uint32_t>(static_cast<std::uint64_t>(length) >> 29);

    std::size_t consumed = 0;
    const std::size_t partLength = blockSize - index;
    if (length >= partLength) {
        std::memcpy(context.buffer.data() + index, data.data(), partLength);
        compress(context.state, context.buffer.data());
        for (consumed = partLength; consumed + blockSize <= length; consumed += blockSize)
            compress(context.state, data.data() + consumed);
        index = 0;
    }
    if (length > consumed) std::memcpy(context.buffer.data() + index, data.data() + consumed, length - consumed);
}

void finish(MD5Context& context, std::uint8_t* digest) {
    std::uint8_t lengthBytes[8];
    store32_le(lengthBytes, context.count[0]);
    store32_le(lengthBytes + 4, context.count[1]);
    const std::size_t index = (context.count[0] >> 3) & 63;
    const std::size_t padLength = index < 56 ? 56 - index : 120 - index;
    update(context, {padding.data(), padLength});
    update(context, lengthBytes);
    for (int i = 0; i < 4; ++i) store32_le(digest + 4 * i, context.state[i]);
    wipeObject(context);
}

void digest(std::span<const std::uint8_t> data, std::uint8_t* out) {
    MD5Context context;
    initialise(context);
    update(context, data);
    finish(context, out);
}

void initialise(HmacContext& context, std::span<const std::uint8_t> key) {
    std::uint8_t hashedKey[digestSize];
    if (key.size() > blockSize) {
        digest(key, hashedKey);
        key = hashedKey;
    }
    std::uint8_t innerPad[blockSize] = {};
    context.outerPad = {};
    std::memcpy(innerPad, key.data(), key.size());
    std::memcpy(context.outerPad.data(), key.data(), key.size());
    for (std::size_t i = 0; i < blockSize; ++i) {
        innerPad[i] ^= 0x36;
        context.outerPad[i] ^= 0x5c;
    }
    initialise(context.inner);
    update(context.inner, innerPad);
    wipe(hashedKey, sizeof hashedKey);
    wipe(innerPad, sizeof innerPad);
}

void update(HmacContext& context, std::span<const std::uint8_t> data) { update(context.inner, data); }

void finish(HmacContext& context, std::uint8_t* out) {
    std::uint8_t innerDigest[digestSize];
    finish(context.inner, innerDigest);
    initialise(context.inner);
    update(context.inner, context.outerPad);
    update(context.inner, innerDigest);
    finish(context.inner, out);
    wipe(innerDigest, sizeof innerDigest);
    wipeObject(context);
}

void hmac(std::span<const std::uint8_t> key, std::span<const std::uint8_t> data,
          std::uint8_t* out) {
    HmacContext context;
    initialise(context, key);
    update(context, data);
    finish(context, out);
}

}  // namespace tessaly::md5
