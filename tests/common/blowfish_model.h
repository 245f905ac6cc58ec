// Blowfish in the library's byte order, written from the published description and its three
// deliberate differences, with the constants computed from pi here rather than copied: an
// independent model of DoBlowfish for the tests and the fuzz target.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

namespace tessaly::testing {

// The first `count` 32-bit words of pi's fractional part, by Machin's formula in fixed point:
// pi = 16 atan(1/5) - 4 atan(1/239).
inline std::vector<std::uint32_t> piFractionWords(std::size_t count) {
    using Word = std::uint32_t;
    using Number = std::vector<Word>;
    const std::size_t size = count + 3;  // [0] the integer part, then fraction words, then guard words
    const auto divide = [](Number& n, Word d) {
        std::uint64_t rest = 0;
        for (Word& word : n) {
            const std::uint64_t value = (rest << 32) | word;
            word = static_cast<Word>(value / d);
            rest = value % d;
        }
    };
    const auto addTo = [](Number& sum, const Number& term, bool subtract) {
        std::int64_t carry = 0;
        for (std::size_t i = sum.size(); i-- > 0;) {
            const std::int64_t value = std::int64_t{sum[i]} + (subtract ? -std::int64_t{term[i]} : std::int64_t{term[i]}) + carry;
            sum[i] = static_cast<Word>(value);
            carry = value >> 32;
        }
    };
    const auto arctangentOfInverse = [&](Word x, Word factor) {
        Number sum(size, 0), power(size, 0), term(size);
        power[0] = factor;
        divide(power, x);  // factor / x
        for (Word k = 0;; ++k) {
            if (std::all_of(power.begin(), power.end(), [](Word w) { return w == 0; })) break;
            term = power;
            divide(term, 2 * k + 1);
            addTo(sum, term, k % 2 == 1);
            divide(power, x * x);
        }
        return sum;
    };
    Number pi = arctangentOfInverse(5, 16);
    addTo(pi, arctangentOfInverse(239, 4), true);
    return Number(pi.begin() + 1, pi.begin() + 1 + static_cast<std::ptrdiff_t>(count));
}

struct BlowfishModel {
    using Word = std::uint32_t;
    std::array<Word, 18> p;
    std::array<std::array<Word, 256>, 4> s;
    std::array<Word, 18> keyMixedP;  // P after the key words, before the encipherments rework it

    // F takes S0 by the least significant byte of its input and S3 by the most significant.
    Word f(Word x) const { return ((s[0][x & 0xFF] + s[1][(x >> 8) & 0xFF]) ^ s[2][(x >> 16) & 0xFF]) + s[3][x >> 24]; }
    void encipher(Word& left, Word& right) const {
        for (int i = 0; i < 16; ++i) {
            left ^= p[i];
            right ^= f(left);
            std::swap(left, right);
        }
        std::swap(left, right);
        right ^= p[16];
        left ^= p[17];
    }
    void decipher(Word& left, Word& right) const {
        for (int i = 17; i > 1; --i) {
            left ^= p[i];
            right ^= f(left);
            std::swap(left, right);
        }
        std::swap(left, right);
        right ^= p[1];
        left ^= p[0];
    }
    // Each half is read with its first byte least significant.
    void cryptBlock(std::span<std::uint8_t, 8> block, bool enciphering) const {
        const auto load = [&](int at) {
            return Word{block[at]} | Word{block[at + 1]} << 8 | Word{block[at + 2]} << 16 | Word{block[at + 3]} << 24;
        };
        const auto store = [&](int at, Word w) {
            for (int i = 0; i < 4; ++i) block[at + i] = static_cast<std::uint8_t>(w >> (8 * i));
        };
        Word left = load(0), right = load(4);
        enciphering ? encipher(left, right) : decipher(left, right);
        store(0, left);
        store(4, right);
    }

    // The key as the cipher takes it (1 to 56 bytes, none of them zero); empty: unkeyed.
    explicit BlowfishModel(std::span<const std::uint8_t> key) {
        static const std::vector<Word> digits = piFractionWords(18 + 4 * 256);
        std::copy_n(digits.begin(), 18, p.begin());
        for (int box = 0; box < 4; ++box) std::copy_n(digits.begin() + 18 + 256 * box, 256, s[box].begin());
        keyMixedP = p;
        if (key.empty()) return;
        // Key words take their first key byte as the least significant.
        for (std::size_t i = 0; i < 18; ++i) {
            Word word = 0;
            for (std::size_t j = 0; j < 4; ++j) word |= Word{key[(4 * i + j) % key.size()]} << (8 * j);
            p[i] ^= word;
        }
        keyMixedP = p;
        Word left = 0, right = 0;
        for (std::size_t i = 0; i < 18; i += 2) {
            encipher(left, right);
            p[i] = left;
            p[i + 1] = right;
        }
        for (auto& box : s)
            for (std::size_t i = 0; i < 256; i += 2) {
                encipher(left, right);
                box[i] = left;
                box[i + 1] = right;
            }
    }
};

}  // namespace tessaly::testing
