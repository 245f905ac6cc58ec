// What a keyed export leaves on the stack, seen as a host sees it: the stack below the call is
// filled with a marker, the export runs, and the bytes it used are copied out the moment it
// returns (checked_call's capture). They must hold nothing derived from the key: not the raw
// key, not a round key of either direction, not a keyed Blowfish word, not an HMAC pad, not a
// limb of the RSA exponent. The schedules are computed here from the published rules, not by
// the library; a Blowfish encipherment checks the model against the export first.
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "common/blowfish_model.h"
#include "common/fixed_input.h"
#include "dll_under_test.h"

namespace tessaly::host {
namespace {

constexpr std::uint8_t marker = 0x5A;
constexpr std::size_t markedBytes = 96 * 1024;
constexpr std::size_t capturedBytes = 64 * 1024;

// Fills the stack below the caller with the marker (the frame is probed page by page).
[[gnu::noinline]] void markStackBelow() {
    std::array<std::uint8_t, markedBytes> area;
    std::memset(area.data(), marker, area.size());
    __asm__ __volatile__("" : : "r"(area.data()) : "memory");
}

using Word = std::uint32_t;

std::uint32_t byteSwapped(std::uint32_t w) {
    return (w >> 24) | ((w >> 8) & 0xFF00) | ((w << 8) & 0xFF0000) | (w << 24);
}

// Words that say nothing about a key: constant bytes, as pads and empty memory hold.
bool telling(Word w) {
    const Word low = w & 0xFF;
    return w != low * 0x01010101u;
}

// The needles: each word in both byte orders.
struct Needles {
    std::vector<Word> words;
    void add(Word w) {
        if (!telling(w)) return;
        words.push_back(w);
        words.push_back(byteSwapped(w));
    }
    void addBytes(const std::uint8_t* bytes, std::size_t count) {  // every 4 bytes at every offset
        for (std::size_t i = 0; i + 4 <= count; ++i) {
            Word w;
            std::memcpy(&w, bytes + i, 4);
            add(w);
        }
    }
};

struct Residue {
    std::size_t depth = 0;       // how deep the stack holds anything but zeroes: the scrub's
                                 // depth and its own call to memset, once the work is scrubbed
    std::vector<std::string> found;
};

Residue residueOf(const std::function<void()>& call, const Needles& needles) {
    std::vector<std::uint8_t> captured(capturedBytes);
    markStackBelow();
    captureStackOfNextCalls(captured.data(), captured.size());
    call();
    captureStackOfNextCalls(nullptr, 0);
    Residue residue;
    // Zeroes count as the scrub's, not as the work's.
    const auto firstWritten =
        std::find_if(captured.begin(), captured.end(), [](std::uint8_t b) { return b != marker && b != 0; });
    residue.depth = static_cast<std::size_t>(captured.end() - firstWritten) - 64;
    for (std::size_t i = 0; i + 4 <= captured.size(); ++i) {
        Word w;
        std::memcpy(&w, captured.data() + i, 4);
        if (std::find(needles.words.begin(), needles.words.end(), w) == needles.words.end()) continue;
        char text[64];
        std::snprintf(text, sizeof text, "%08X at %zu bytes below the call", static_cast<unsigned>(w),
                      captured.size() - 64 - i);
        residue.found.emplace_back(text);
    }
    return residue;
}

// ---- AES, from FIPS 197 ----

std::uint8_t gfMultiply(std::uint8_t a, std::uint8_t b) {
    std::uint8_t product = 0;
    for (; b != 0; b >>= 1) {
        if (b & 1) product ^= a;
        a = static_cast<std::uint8_t>((a << 1) ^ ((a & 0x80) ? 0x1B : 0));
    }
    return product;
}

std::uint8_t aesSbox(std::uint8_t x) {
    std::uint8_t inverse = 0;
    for (unsigned y = 1; y < 256 && x != 0; ++y)
        if (gfMultiply(x, static_cast<std::uint8_t>(y)) == 1) inverse = static_cast<std::uint8_t>(y);
    const auto rotl = [](std::uint8_t v, int n) { return static_cast<std::uint8_t>((v << n) | (v >> (8 - n))); };
    return static_cast<std::uint8_t>(inverse ^ rotl(inverse, 1) ^ rotl(inverse, 2) ^ rotl(inverse, 3) ^
                                     rotl(inverse, 4) ^ 0x63);
}

// The round keys as bytes, and the decryption direction's (InvMixColumns of rounds 1 to Nr-1).
void addAesSchedule(const std::vector<std::uint8_t>& key, Needles& needles) {
    const std::size_t nk = key.size() / 4, rounds = nk + 6, total = 4 * (rounds + 1);
    std::vector<std::array<std::uint8_t, 4>> w(total);
    for (std::size_t i = 0; i < nk; ++i) std::copy_n(key.begin() + 4 * i, 4, w[i].begin());
    std::uint8_t rcon = 1;
    for (std::size_t i = nk; i < total; ++i) {
        auto t = w[i - 1];
        if (i % nk == 0) {
            t = {static_cast<std::uint8_t>(aesSbox(t[1]) ^ rcon), aesSbox(t[2]), aesSbox(t[3]), aesSbox(t[0])};
            rcon = gfMultiply(rcon, 2);
        } else if (nk > 6 && i % nk == 4) {
            for (auto& b : t) b = aesSbox(b);
        }
        for (int j = 0; j < 4; ++j) w[i][j] = w[i - nk][j] ^ t[j];
    }
    for (std::size_t i = 0; i < total; ++i) {
        needles.addBytes(w[i].data(), 4);
        if (i < 4 || i >= total - 4) continue;
        const auto& c = w[i];
        const std::uint8_t mixed[4] = {
            static_cast<std::uint8_t>(gfMultiply(c[0], 14) ^ gfMultiply(c[1], 11) ^ gfMultiply(c[2], 13) ^ gfMultiply(c[3], 9)),
            static_cast<std::uint8_t>(gfMultiply(c[0], 9) ^ gfMultiply(c[1], 14) ^ gfMultiply(c[2], 11) ^ gfMultiply(c[3], 13)),
            static_cast<std::uint8_t>(gfMultiply(c[0], 13) ^ gfMultiply(c[1], 9) ^ gfMultiply(c[2], 14) ^ gfMultiply(c[3], 11)),
            static_cast<std::uint8_t>(gfMultiply(c[0], 11) ^ gfMultiply(c[1], 13) ^ gfMultiply(c[2], 9) ^ gfMultiply(c[3], 14))};
        needles.addBytes(mixed, 4);
    }
}

// ---- the RSA exponent, from its decimal text ----

std::vector<std::uint8_t> binaryOfDecimal(const std::string& digits) {
    std::vector<std::uint8_t> number;  // least significant byte first
    for (char digit : digits) {
        unsigned carry = static_cast<unsigned>(digit - '0');
        for (auto& byte : number) {
            const unsigned value = byte * 10u + carry;
            byte = static_cast<std::uint8_t>(value);
            carry = value >> 8;
        }
        if (carry != 0) number.push_back(static_cast<std::uint8_t>(carry));
    }
    return number;
}

std::vector<std::uint8_t> pattern(std::size_t count, unsigned seed) { return testing::input(count, seed); }

std::string report(const Residue& residue) {
    std::string text;
    for (const std::string& line : residue.found) text += "\n  " + line;
    return text;
}

void expectNoResidue(const char* what, const std::function<void()>& call, const Needles& needles) {
    const Residue residue = residueOf(call, needles);
    EXPECT_TRUE(residue.found.empty()) << what << " left " << residue.found.size() << " key words:" << report(residue);
    std::printf("  %-40s wrote %6zu stack bytes deep, %zu key words left\n", what, residue.depth, residue.found.size());
}

class KeyResidue : public ::testing::Test {
protected:
    void SetUp() override {
        if (!callsAreChecked) GTEST_SKIP() << "the stack is captured by the x86 call thunks only";
    }
};

TEST_F(KeyResidue, BlockCiphersLeaveNoScheduleBehind) {
    for (const std::int32_t mode : {0, 1}) {
        const std::string direction = mode == 0 ? "encipher" : "decipher";
        for (const std::size_t keySize : {16, 24, 32}) {
            const auto key = pattern(keySize, static_cast<unsigned>(keySize));
            Needles needles;
            addAesSchedule(key, needles);
            for (const std::int32_t length : {16, 100, 4096}) {
                auto data = pattern(static_cast<std::size_t>(length) + 16, 5);
                const std::string what = "DoAES-" + std::to_string(8 * keySize) + " " + direction + " " + std::to_string(length);
                expectNoResidue(what.c_str(), [&] {
                    callExport<void>("DoAES", data.data(), length, key.data(), static_cast<std::int32_t>(keySize), mode);
                }, needles);
            }
        }
        for (const auto& cipher : {std::pair{"DoDES", std::size_t{8}}, std::pair{"Do3DES", std::size_t{16}}}) {
            const char* name = cipher.first;  // (clang 14 captures no structured binding)
            const std::size_t keySize = cipher.second;
            const auto key = pattern(keySize, 9);
            Needles needles;
            needles.addBytes(key.data(), key.size());
            auto data = pattern(1024, 3);
            const std::string what = std::string(name) + " " + direction;
            expectNoResidue(what.c_str(), [&] { callExport<void>(name, data.data(), 1024, key.data(), mode == 0 ? 0 : 1); },
                            needles);
        }
    }
}

TEST_F(KeyResidue, BlowfishLeavesNoKeyedWord) {
    const auto key = pattern(13, 21);
    const testing::BlowfishModel model(key);
    Needles needles;
    for (Word w : model.keyMixedP) needles.add(w);
    for (Word w : model.p) needles.add(w);
    for (const auto& box : model.s)
        for (Word w : box) needles.add(w);
    // The model is the library's cipher.
    std::array<std::uint8_t, 8> block = {1, 2, 3, 4, 5, 6, 7, 8}, modelled = block;
    model.cryptBlock(modelled, true);
    callExport<void>("DoBlowfish", block.data(), 8, key.data(), 13, 0);
    ASSERT_EQ(block, modelled) << "the model does not encipher as the library does";
    for (const std::int32_t mode : {0, 1})
        for (const std::int32_t length : {5, 8, 1000}) {
            auto data = pattern(1008, 4);
            const std::string what = std::string("DoBlowfish ") + (mode == 0 ? "encipher " : "decipher ") + std::to_string(length);
            expectNoResidue(what.c_str(), [&] { callExport<void>("DoBlowfish", data.data(), length, key.data(), 13, mode); },
                            needles);
        }
}

TEST_F(KeyResidue, HmacLeavesNoPad) {
    const auto key = pattern(16, 33);
    Needles needles;
    needles.addBytes(key.data(), key.size());
    for (const std::uint8_t pad : {0x36, 0x5C}) {
        std::vector<std::uint8_t> padded(key);
        for (auto& b : padded) b ^= pad;
        needles.addBytes(padded.data(), padded.size());
    }
    const auto data = pattern(1000, 8);
    std::uint8_t digest[16];
    expectNoResidue("MD5_Ex keyed", [&] {
        callExport<void>("MD5_Ex", data.data(), std::uint32_t{1000}, key.data(), std::int32_t{16}, digest);
    }, needles);
}

TEST_F(KeyResidue, RsaLeavesNoExponentLimb) {
    // A 64-digit modulus of two primes, and an exponent pair for it: each way runs with its own.
    const std::string modulus = "2868772976743725084296716903235988742042360575363996802666569001";
    const std::string forwardExponent = "2215218866144026443013552668413384877348687153612609864864062661";
    const std::string backwardExponent = "2098352249261507372682792688673988190377324227930716569853559309";
    const std::string groups = std::string(64, '\x37');
    std::vector<std::uint8_t> line(64 * 40);
    std::int32_t lineLength = 0;
    std::vector<std::uint8_t> back(64 + 8);
    std::int32_t backLength = 0;
    for (const auto& way : {std::pair{&forwardExponent, true}, std::pair{&backwardExponent, false}}) {
        const std::string* exponent = way.first;  // (clang 14 captures no structured binding)
        const bool forward = way.second;
        const auto limbs = binaryOfDecimal(*exponent);
        Needles needles;
        needles.addBytes(limbs.data(), limbs.size());
        expectNoResidue(forward ? "DoRSA forward" : "DoRSA backward", [&] {
            const std::int32_t code = forward ? callExport("DoRSA", groups.data(), 64, line.data(), &lineLength,
                                                           exponent->c_str(), modulus.c_str(), 0)
                                              : callExport("DoRSA", line.data(), lineLength, back.data(), &backLength,
                                                           exponent->c_str(), modulus.c_str(), 1);
            EXPECT_EQ(code, 0);
        }, needles);
    }
    EXPECT_EQ(std::string(back.begin(), back.begin() + backLength), groups) << "the pair undoes itself";
}

}  // namespace
}  // namespace tessaly::host
