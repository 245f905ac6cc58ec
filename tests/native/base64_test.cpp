// Base64 engine and DoBASE64: published vectors, the decoding rules, and every path against
// the plain one.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "common/test_vectors.h"
#include "crypto/base64.h"
#include "tessaly.h"

namespace tessaly {
namespace {

using testing::bytesOf;
using testing::fromHex;
using testing::toHex;

constexpr std::uint8_t untouched = 0xA5;

struct Output {
    std::int32_t count;
    std::vector<std::uint8_t> buffer;  // everything the call may write, plus guard bytes
};

Output doBase64(const std::vector<std::uint8_t>& input, std::int32_t mode, std::size_t room) {
    Output out{0, std::vector<std::uint8_t>(room + 8, untouched)};
    out.count = DoBASE64(input.data(), static_cast<std::int32_t>(input.size()), out.buffer.data(),
                         0, mode);
    return out;
}

Output encodeText(const std::vector<std::uint8_t>& bytes) {
    return doBase64(bytes, 0, base64::encodedSize(bytes.size()));
}

Output decodeText(const std::string& text) {
    return doBase64(bytesOf(text), 1, base64::decodedCapacity(text.size()));
}

std::string asText(const Output& out) {
    return std::string(out.buffer.begin(), out.buffer.begin() + out.count);
}

TEST(Base64, Rfc4648Vectors) {
    const std::pair<std::string, std::string> vectors[] = {
        {"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"},
    };
    for (const auto& [plain, encoded] : vectors) {
        const Output enc = encodeText(bytesOf(plain));
        EXPECT_EQ(asText(enc), encoded);
        EXPECT_EQ(enc.buffer[enc.count], untouched) << "no terminating zero after " << encoded;
        const Output dec = decodeText(encoded);
        EXPECT_EQ(std::string(dec.buffer.begin(), dec.buffer.begin() + dec.count), plain);
    }
}

TEST(Base64, PublishedVectors) {
    TESSALY_REQUIRE_VECTORS(records, "base64.vec");
    int valid = 0;
    for (const auto& record : *records) {
        if (record.section != "valid") continue;
        ++valid;
        const auto binary = fromHex(record.fields.at("Binary"));
        const std::string text = record.fields.at("Base64");
        EXPECT_EQ(asText(encodeText(binary)), text) << "line " << record.line;
        const Output dec = decodeText(text);
        ASSERT_EQ(dec.count, static_cast<std::int32_t>(binary.size())) << "line " << record.line;
        EXPECT_TRUE(std::equal(binary.begin(), binary.end(), dec.buffer.begin()));
        // Text that ends in padding leaves the spare byte, 0 for canonical text, behind.
        if (!text.empty() && text.back() == '=') {
            EXPECT_EQ(dec.buffer[dec.count], 0) << "line " << record.line;
        }
    }
    EXPECT_EQ(valid, 22);
}

// Outcomes worked out by hand from the decoding rules: what is counted, and what lies behind.
TEST(Base64, DecodingRules) {
    struct Case {
        const char* text;
        std::int32_t count;
        const char* written;  // hex of everything written, spare byte included
    };
    const Case cases[] = {
        {"", 0, ""},
        {"Zm9", 0, ""},                   // fewer than four characters
        {"Zm9vYm", 3, "666F6F"},          // the two left over are ignored
        {"Zm9vYmE", 3, "666F6F"},
        {"Zg==", 1, "6600"},              // one byte, spare byte 0
        {"Zm8=", 2, "666F00"},            // two bytes, spare byte 0
        {"Zg==Zg==", 2, "666600"},        // a padded group does not end the text
        {"YR==", 1, "6110"},              // non-zero pad bits show in the spare byte
        {"=Zg=", 1, "FD90"},              // two invalid values wherever they stand
        {"AA=A", 2, "000FC0"},            // one invalid value in the middle
        {"====AAAA", 6, "FFFFFF000000"},  // four invalid values: three bytes as computed
        {"Z===", 3, "67FFFF"},            // three invalid values: three bytes as computed
        {"Zm9v\nZm9", 5, "666F6FFD9980"}, // a line break counts as invalid and shifts groups
        {"\x80\xff" "AA", 1, "FFF0"},     // bytes above 127 are invalid
    };
    for (const Case& c : cases) {
        const std::string text = c.text;
        const Output out = decodeText(text);
        const std::string written = c.written;
        EXPECT_EQ(out.count, c.count) << text;
        EXPECT_EQ(toHex(out.buffer.data(), written.size() / 2), written) << text;
        EXPECT_EQ(out.buffer[written.size() / 2], untouched) << text << ": wrote past its room";
    }
}

TEST(Base64, OnlyModeOneDecodes) {
    for (std::int32_t mode : {0, 2, -1, 256, 0x7FFFFFFF}) {
        const Output out = doBase64(bytesOf("Zm9v"), mode, 8);
        EXPECT_EQ(asText(out), "Wm05dg==") << "mode " << mode;
    }
}

TEST(Base64, NothingHappensForLengthsBelowOne) {
    std::uint8_t in[4] = {'Z', 'm', '9', 'v'};
    std::uint8_t out[8];
    std::fill(std::begin(out), std::end(out), untouched);
    for (std::int32_t mode : {0, 1})
        for (std::int32_t length : {0, -1, -2147483647 - 1}) {
            EXPECT_EQ(DoBASE64(in, length, out, 100, mode), 0);
            EXPECT_TRUE(std::all_of(std::begin(out), std::end(out), [](auto b) { return b == untouched; }));
        }
}

// Random text with a controllable share of characters outside the alphabet.
std::vector<std::uint8_t> hostileText(std::mt19937& rng, std::size_t length, int invalidPerMille) {
    static const std::string alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    static const std::string others = "=\n\r \t-_.!\x80\xff\x7f";
    std::vector<std::uint8_t> text(length);
    for (auto& c : text) {
        const int roll = static_cast<int>(rng() % 1000);
        if (roll < invalidPerMille / 2)
            c = static_cast<std::uint8_t>(others[rng() % others.size()]);
        else if (roll < invalidPerMille)
            c = static_cast<std::uint8_t>(rng());
        else
            c = static_cast<std::uint8_t>(alphabet[rng() % alphabet.size()]);
    }
    return text;
}

// Runs one path's decoder into a buffer of exactly its room plus guards.
std::vector<std::uint8_t> decodeWith(const base64::Path& path, const std::vector<std::uint8_t>& text,
                                     std::size_t& count) {
    std::vector<std::uint8_t> out(base64::decodedCapacity(text.size()) + 8, untouched);
    count = path.decode(text, out.data());
    return out;
}

TEST(Base64, EveryPathDecodesAsThePlainOne) {
    const auto paths = base64::availablePaths();
    ASSERT_STREQ(paths[0].name, "plain");
    std::mt19937 rng(20261209);
    for (int round = 0; round < 3000; ++round) {
        const std::size_t length = round < 2000 ? rng() % 200 : rng() % 5000;
        const int invalidPerMille = std::vector<int>{0, 1, 10, 100, 500, 1000}[round % 6];
        const auto text = hostileText(rng, length, invalidPerMille);
        std::size_t expectedCount = 0;
        const auto expected = decodeWith(paths[0], text, expectedCount);
        for (const auto& path : paths.subspan(1)) {
            std::size_t count = 0;
            EXPECT_EQ(decodeWith(path, text, count), expected) << path.name << " round " << round;
            EXPECT_EQ(count, expectedCount) << path.name;
            // In place: the result is the same as into a separate buffer.
            std::vector<std::uint8_t> inPlace = text;
            EXPECT_EQ(path.decode(inPlace, inPlace.data()), expectedCount) << path.name;
            EXPECT_TRUE(std::equal(inPlace.begin(), inPlace.begin() + expectedCount, expected.begin()))
                << path.name << " in place, round " << round;
        }
    }
}

// Every byte value at every position of a 32-character block, inside a longer valid text.
TEST(Base64, EveryPathJudgesEveryByteValueAlike) {
    const auto paths = base64::availablePaths();
    std::vector<std::uint8_t> text(128);
    for (std::size_t i = 0; i < text.size(); ++i) text[i] = "QUJDRA"[i % 6];
    for (std::size_t position = 32; position < 64; ++position)
        for (unsigned value = 0; value < 256; ++value) {
            auto probe = text;
            probe[position] = static_cast<std::uint8_t>(value);
            std::size_t expectedCount = 0;
            const auto expected = decodeWith(paths[0], probe, expectedCount);
            for (const auto& path : paths.subspan(1)) {
                std::size_t count = 0;
                ASSERT_EQ(decodeWith(path, probe, count), expected)
                    << path.name << " byte " << value << " at " << position;
            }
        }
}

TEST(Base64, EveryPathEncodesAsThePlainOneAndDecodesBack) {
    const auto paths = base64::availablePaths();
    std::mt19937 rng(7);
    for (int round = 0; round < 2000; ++round) {
        std::vector<std::uint8_t> data(round < 1500 ? rng() % 100 : rng() % 70000);
        for (auto& b : data) b = static_cast<std::uint8_t>(rng());
        std::vector<std::uint8_t> expected(base64::encodedSize(data.size()) + 8, untouched);
        ASSERT_EQ(paths[0].encode(data, expected.data()), base64::encodedSize(data.size()));
        for (const auto& path : paths) {
            std::vector<std::uint8_t> text(expected.size(), untouched);
            EXPECT_EQ(path.encode(data, text.data()), base64::encodedSize(data.size()));
            EXPECT_EQ(text, expected) << path.name << " length " << data.size();
            text.resize(base64::encodedSize(data.size()));
            std::vector<std::uint8_t> back(base64::decodedCapacity(text.size()) + 1);
            ASSERT_EQ(path.decode(text, back.data()), data.size()) << path.name;
            EXPECT_TRUE(std::equal(data.begin(), data.end(), back.begin())) << path.name;
        }
    }
}

}  // namespace
}  // namespace tessaly
