// Scramblers, string searches and the wildcard matcher against plain references: every fast
// path against the plain loops, the exports against the steps as written, the matcher
// against the recursive backtracker.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "common/reference_matcher.h"
#include "common/test_vectors.h"
#include "crypto/scramblers.h"
#include "tessaly.h"

namespace tessaly {
namespace {

using testing::randomBytes;
using Bytes = std::vector<std::uint8_t>;

// Shift_Data exactly as its steps read: whole bytes through a work area, then bits.
void referenceShiftData(Bytes& b, unsigned count, bool towardsStart) {
    const std::size_t n = b.size();
    if (n == 0) return;
    std::size_t whole = (count & 0xFF) / 8;
    const unsigned bits = count % 8;
    if (whole > n) whole %= n;
    if (whole > 0) {
        std::uint8_t aside[32];
        if (towardsStart) {
            std::memcpy(aside, b.data(), whole);
            for (std::size_t i = whole; i < n; ++i) b[i - whole] = b[i];
            std::memcpy(b.data() + n - whole, aside, whole);
        } else {
            std::memcpy(aside, b.data() + n - whole, whole);
            for (std::size_t i = n - whole; i-- > 0;) b[i + whole] = b[i];
            std::memcpy(b.data(), aside, whole);
        }
    }
    if (bits == 0) return;
    const auto byte = [](unsigned v) { return static_cast<std::uint8_t>(v); };
    if (towardsStart) {
        const std::uint8_t f = b[0];
        for (std::size_t i = 0; i + 1 < n; ++i) b[i] = byte(b[i] << bits | b[i + 1] >> (8 - bits));
        b[n - 1] = byte(b[n - 1] << bits | f >> (8 - bits));
    } else {
        const std::uint8_t g = b[n - 1];
        for (std::size_t i = n - 1; i >= 1; --i) b[i] = byte(b[i - 1] << (8 - bits) | b[i] >> bits);
        b[0] = byte(g << (8 - bits) | b[0] >> bits);
    }
}

TEST(Scramblers, ShiftDataIsTheStepsAsWrittenForEveryLengthAndCount) {
    std::mt19937 rng(1);
    for (std::size_t length = 0; length <= 300; ++length) {
        const Bytes data = randomBytes(rng, length);
        for (unsigned count = 0; count < 256; ++count)
            for (int direction : {0, 1}) {
                Bytes expected = data, actual = data;
                referenceShiftData(expected, count, direction == 0);
                Shift_Data(actual.data(), static_cast<std::int32_t>(length), static_cast<std::int32_t>(count), direction);
                ASSERT_EQ(actual, expected) << "length " << length << " count " << count << " direction " << direction;
            }
    }
}

TEST(Scramblers, EveryPathIsThePlainLoops) {
    const auto paths = scramblers::availablePaths();
    ASSERT_STREQ(paths[0].name, "plain");
    std::mt19937 rng(2);
    for (std::size_t length = 0; length <= 300; ++length) {
        Bytes data = randomBytes(rng, length);
        if (length == 256)
            for (unsigned i = 0; i < 256; ++i) data[i] = static_cast<std::uint8_t>(i);  // every byte value
        const auto seed = static_cast<std::uint8_t>(rng());
        for (const auto& path : paths.subspan(1)) {
            const auto check = [&](auto apply, auto applyPlain, const char* what) {
                Bytes expected = data, actual = data;
                applyPlain(expected);
                apply(actual);
                ASSERT_EQ(actual, expected) << path.name << " " << what << " length " << length;
            };
            check([&](Bytes& b) { path.chainXor(b.data(), length, seed); },
                  [&](Bytes& b) { paths[0].chainXor(b.data(), length, seed); }, "chain");
            check([&](Bytes& b) { path.unchainXor(b.data(), length, seed); },
                  [&](Bytes& b) { paths[0].unchainXor(b.data(), length, seed); }, "unchain");
            for (bool inverse : {false, true})
                check([&](Bytes& b) { path.substitute(b.data(), length, inverse); },
                      [&](Bytes& b) { paths[0].substitute(b.data(), length, inverse); }, "substitute");
            // Whole bytes up to the 31 a count can give, around the vector widths, with every bit count.
            for (const std::size_t wholeBytes : {0u, 1u, 2u, 7u, 15u, 16u, 17u, 31u})
                if (wholeBytes < length)
                    for (unsigned bits = 0; bits < 8; ++bits)
                        for (bool towardsStart : {false, true})
                            check([&](Bytes& b) { path.rotate(b.data(), length, wholeBytes, bits, towardsStart); },
                                  [&](Bytes& b) { paths[0].rotate(b.data(), length, wholeBytes, bits, towardsStart); },
                                  "rotate");
        }
    }
}

TEST(Scramblers, EachDirectionUndoesTheOther) {
    std::mt19937 rng(3);
    for (int round = 0; round < 200; ++round) {
        const Bytes data = randomBytes(rng, rng() % 5000);
        const auto length = static_cast<std::int32_t>(data.size());
        const auto seed = static_cast<std::int32_t>(rng());
        const auto count = static_cast<std::int32_t>(rng());
        Bytes b = data;
        Exclusive_OR(b.data(), length, seed, 1);
        Exclusive_OR(b.data(), length, seed, 0);
        EXPECT_EQ(b, data);
        Shift_Data(b.data(), length, count, 0);
        Shift_Data(b.data(), length, count, 1);
        EXPECT_EQ(b, data);
        Substitution(b.data(), length, 0);
        Substitution(b.data(), length, 7);
        EXPECT_EQ(b, data);
    }
}

// Texts and patterns from small alphabets that exercise every rule: case, classes, ranges,
// "-" and "]" in odd places, bytes above 0x7F, unclosed classes.
std::string randomString(std::mt19937& rng, const std::string& alphabet, std::size_t maxLength) {
    std::string s(rng() % (maxLength + 1), ' ');
    for (auto& c : s) c = alphabet[rng() % alphabet.size()];
    return s;
}

TEST(MatchPattern, AgreesWithTheRecursiveBacktrackerOnAMillionPairs) {
    const std::string textAlphabet = "aAbBzZ5 -]\\\x80\xE9\xFF";
    const std::string patternAlphabet = "aAbBzZ5*?[]-\\\x80\xE9\xFF**[[";
    std::mt19937 rng(4);
    for (int round = 0; round < 1000000; ++round) {
        const std::string text = randomString(rng, textAlphabet, 10);
        const std::string pattern = randomString(rng, patternAlphabet, 9);
        ASSERT_EQ(MatchPattern_zk(text.c_str(), pattern.c_str()),
                  testing::referenceMatch(text.c_str(), pattern.c_str()))
            << "text \"" << text << "\" pattern \"" << pattern << "\"";
    }
}

TEST(StringSearch, AgreesWithNaiveScans) {
    std::mt19937 rng(5);
    for (int round = 0; round < 20000; ++round) {
        const std::string text = randomString(rng, "ab", 12), sought = randomString(rng, "ab", 3);
        int first = -1, last = -1;
        for (std::size_t i = 0; i + sought.size() <= text.size(); ++i)
            if (text.compare(i, sought.size(), sought) == 0) {
                if (first < 0) first = static_cast<int>(i);
                last = static_cast<int>(i);
            }
        EXPECT_EQ(instr_zk(text.c_str(), sought.c_str()), first);
        EXPECT_EQ(inrstr_zk(text.c_str(), sought.c_str()), last);
    }
}

}  // namespace
}  // namespace tessaly
