// Blowfish engine: key schedule and block functions in the library's byte order.
#include "blowfish.h"

#include "bytes.h"

namespace tessaly::blowfish {
namespace {

// S0 by the least significant byte: the library's order, not the published one.
inline std::uint32_t f(const BlowfishEngine& state, std::uint32_t x) {
    return ((state.s[0][x & 0xFF] + state.s[1][(x >> 8) & 0xFF]) ^ state.s[2][(x >> 16) & 0xFF]) +
           state.s[3][x >> 24];
}

// The rounds run in pairs, so the halves never need exchanging.
void encipherBlock(const BlowfishEngine& state, std::uint32_t& left, std::uint32_t& right) {
    std::uint32_t a = left, b = right;
    for (int i = 0; i < 16; i += 2) {
        a ^= state.p[i];
        b ^= f(state, a);
        b ^= state.p[i + 1];
        a ^= f(state, b);
    }
    left = b ^ state.p[17];
    right = a ^ state.p[16];
}

// Lanes blocks at once, their rounds interleaved so the S-box loads overlap: the rounds of
// encipherBlock, or the same with the P-array taken backwards.
template <bool Forward, std::size_t Lanes>
inline void transformLanes(const BlowfishEngine& state, std::uint8_t* blocks) {
    std::uint32_t a[Lanes], b[Lanes];
    // Halves least significant byte first: the library's order, not the published one.
    for (std::size_t lane = 0; lane < Lanes; ++lane) {
        a[lane] = load32_le(blocks + blockSize * lane);
        b[lane] = load32_le(blocks + blockSize * lane + 4);
    }
    for (int i = 0; i < 16; i += 2) {
        const std::uint32_t first = state.p[Forward ? i : 17 - i];
        const std::uint32_t second = state.p[Forward ? i + 1 : 16 - i];
        for (std::size_t lane = 0; lane < Lanes; ++lane) {
            a[lane] ^= first;
            b[lane] ^= f(state, a[lane]) ^ second;
        }
        for (std::size_t lane = 0; lane < Lanes; ++lane) a[lane] ^= f(state, b[lane]);
    }
    const std::uint32_t lastLeft = state.p[Forward ? 17 : 0], lastRight = state.p[Forward ? 16 : 1];
    for (std::size_t lane = 0; lane < Lanes; ++lane) {
        store32_le(blocks + blockSize * lane, b[lane] ^ lastLeft);
        store32_le(blocks + blockSize * lane + 4, a[lane] ^ lastRight);
    }
}

template <bool Forward>
void transformAll(const BlowfishEngine& state, std::uint8_t* blocks, std::size_t blockCount) {
    std::size_t i = 0;
    for (; i + 4 <= blockCount; i += 4) transformLanes<Forward, 4>(state, blocks + blockSize * i);
    for (; i < blockCount; ++i) transformLanes<Forward, 1>(state, blocks + blockSize * i);
}

}  // namespace

void BlowfishEngine::setKey(std::span<const std::uint8_t> key) {
    p = initialP;
    s = initialS;
    const std::size_t k = key.size();
    if (k == 0) return;
    for (std::size_t i = 0; i < 18; ++i) {
        std::uint32_t word = 0;
        for (std::size_t j = 0; j < 4; ++j)  // first key byte least significant
            word |= std::uint32_t{key[(4 * i + j) % k]} << (8 * j);
        p[i] ^= word;
    }
    std::uint32_t left = 0, right = 0;
    for (std::size_t i = 0; i < 18; i += 2) {
        encipherBlock(*this, left, right);
        p[i] = left;
        p[i + 1] = right;
    }
    for (auto& box : s)
        for (std::size_t i = 0; i < 256; i += 2) {
            encipherBlock(*this, left, right);
            box[i] = left;
            box[i + 1] = right;
        }
}

void BlowfishEngine::cryptBlocks(std::uint8_t* blocks, std::size_t blockCount,
                                 Direction direction) const {
    if (direction == Direction::encipher)
        transformAll<true>(*this, blocks, blockCount);
    else
        transformAll<false>(*this, blocks, blockCount);
}

}  // namespace tessaly::blowfish
