// Blowfish engine: key schedule and block functions in the library's byte order.
#include "blowfish.h"

#include "bytes.h"

namespace tessaly::blowfish {
namespace {

// S0 by the least significant byte: the library's order, not the published one.
inline std::uint32_t f(const BlowfishState& state, std::uint32_t x) {
    return ((state.s[0][x & 0xFF] + state.s[1][(x >> 8) & 0xFF]) ^ state.s[2][(x >> 16) & 0xFF]) +
           state.s[3][x >> 24];
}

}  // namespace

void reset(BlowfishState& state) {
    state.p = initialP;
    state.s = initialS;
}

void setKey(BlowfishState& state, std::span<const std::uint8_t> key) {
    const std::size_t k = key.size();
    if (k == 0) return;
    for (std::size_t i = 0; i < 18; ++i) {
        std::uint32_t word = 0;
        for (std::size_t j = 0; j < 4; ++j)  // first key byte least significant
            word |= std::uint32_t{key[(4 * i + j) % k]} << (8 * j);
        state.p[i] ^= word;
    }
    std::uint32_t left = 0, right = 0;
    for (std::size_t i = 0; i < 18; i += 2) {
        encipherBlock(state, left, right);
        state.p[i] = left;
        state.p[i + 1] = right;
    }
    for (auto& box : state.s)
        for (std::size_t i = 0; i < 256; i += 2) {
            encipherBlock(state, left, right);
            box[i] = left;
            box[i + 1] = right;
        }
}

// The rounds run in pairs, so the halves never need exchanging.
void encipherBlock(const BlowfishState& state, std::uint32_t& left, std::uint32_t& right) {
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

void decipherBlock(const BlowfishState& state, std::uint32_t& left, std::uint32_t& right) {
    std::uint32_t a = left, b = right;
    for (int i = 17; i > 1; i -= 2) {
        a ^= state.p[i];
        b ^= f(state, a);
        b ^= state.p[i - 1];
        a ^= f(state, b);
    }
    left = b ^ state.p[0];
    right = a ^ state.p[1];
}

void cryptBlocks(const BlowfishState& state, std::uint8_t* blocks, std::size_t blockCount,
                 Direction direction) {
    const auto transform = direction == Direction::encipher ? encipherBlock : decipherBlock;
    // Halves least significant byte first: the library's order, not the published one.
    std::size_t i = 0;
    for (; i + 2 <= blockCount; i += 2) {
        std::uint8_t* first = blocks + blockSize * i;
        std::uint8_t* second = first + blockSize;
        std::uint32_t l1 = load32_le(first), r1 = load32_le(first + 4);
        std::uint32_t l2 = load32_le(second), r2 = load32_le(second + 4);
        transform(state, l1, r1);
        transform(state, l2, r2);
        store32_le(first, l1);
        store32_le(first + 4, r1);
        store32_le(second, l2);
        store32_le(second + 4, r2);
    }
    for (; i < blockCount; ++i) {
        std::uint8_t* block = blocks + blockSize * i;
        std::uint32_t l = load32_le(block), r = load32_le(block + 4);
        transform(state, l, r);
        store32_le(block, l);
        store32_le(block + 4, r);
    }
}

}  // namespace tessaly::blowfish
