// DoRSA through the DLL: the published example both ways, groups, tokens, result codes and
// their order, the mended cases, and what is written where.
#include <string>
#include <vector>

#include "common/test_vectors.h"
#include "dll_under_test.h"

namespace tessaly::host {
namespace {

using testing::toHex;

struct Outcome {
    std::int32_t code;
    std::int32_t length;       // -7 when untouched
    std::vector<std::uint8_t> output;  // the whole buffer, 0xA5 where untouched
};

Outcome doRsa(const std::string& data, const char* exponent, const char* modulus, std::int32_t direction,
              std::size_t room = 600) {
    Outcome out{0, -7, std::vector<std::uint8_t>(room, 0xA5)};
    out.code = callExport("DoRSA", data.data(), static_cast<std::int32_t>(data.size()), out.output.data(),
                          &out.length, exponent, modulus, direction);
    return out;
}

std::string line(const Outcome& o) { return std::string(o.output.begin(), o.output.begin() + std::max(o.length, 0)); }
std::string bytes(const Outcome& o) { return toHex(o.output.data(), std::max(o.length, 0)); }
const std::string group41("\0\0\0\x41", 4);

TEST(DoRSA, PublishedExampleBothWays) {
    const Outcome forward = doRsa(group41, "17", "3233", 0);
    EXPECT_EQ(forward.code, 0);
    EXPECT_EQ(line(forward), "2790");
    EXPECT_EQ(forward.length, 4);
    EXPECT_EQ(forward.output[4], 0) << "terminating zero";
    EXPECT_EQ(forward.output[5], 0xA5);
    const Outcome back = doRsa("2790", "2753", "3233", 7);
    EXPECT_EQ(back.code, 0);
    EXPECT_EQ(bytes(back), "00000041");
    EXPECT_EQ(back.output[4], 0);
    EXPECT_EQ(back.output[5], 0xA5);
    EXPECT_EQ(line(doRsa(group41, "0017", "003233", 0)), "2790") << "leading zeros";
    EXPECT_EQ(line(doRsa(group41, std::string(300, '0').append("17").c_str(), "3233", 0)), "2790")
        << "leading zeros do not count towards 128 digits";
}

TEST(DoRSA, GroupsAndTokens) {
    // Five bytes make two groups; the fifth byte is the high byte of the second: 0x01000000.
    const Outcome five = doRsa(std::string("\0\0\0\x41\x01", 5), "1", "4294967297", 0);
    EXPECT_EQ(line(five), "65 16777216");
    EXPECT_EQ(five.length, 11);
    const Outcome zero = doRsa(std::string(4, '\0'), "17", "3233", 0);
    EXPECT_EQ(line(zero), "0") << "a result of zero is the text 0";
    EXPECT_EQ(bytes(doRsa("0", "17", "3233", 1)), "00000000");

    EXPECT_EQ(bytes(doRsa("2790  2790", "2753", "3233", 1)), "0000004100000041") << "an empty token in the middle";
    EXPECT_EQ(bytes(doRsa("2790 ", "2753", "3233", 1)), "00000041") << "a trailing space";
    EXPECT_EQ(bytes(doRsa(" 2790", "2753", "3233", 1)), "00000041") << "a leading space";
    const Outcome spaces = doRsa("   ", "2753", "3233", 1);
    EXPECT_EQ(spaces.code, 0);
    EXPECT_EQ(spaces.length, 0);
    EXPECT_EQ(spaces.output[0], 0);
    // A result of 2^32 or more gives its low 32 bits: 2^33 + 5 = 8589934597.
    EXPECT_EQ(bytes(doRsa("8589934597", "1", "99999999999", 1)), "00000005");
}

TEST(DoRSA, ResultCodesAndTheirOrder) {
    struct Case {
        std::string data, exponent, modulus;
        std::int32_t direction, code;
    };
    const Case cases[] = {
        {std::string("\0\0\x0C\xA1", 4), "17", "3233", 0, 3},   // the group equals the modulus
        {group41, "17", "0", 0, 3},                              // modulus 0
        {group41, "17", "", 0, 3},                               // empty modulus
        {group41, "0", "3233", 0, 1},                            // exponent 0
        {group41, "", "3233", 0, 1},                             // empty exponent
        {std::string("\0\0\x0C\xA1", 4), "0", "3233", 0, 3},    // not below the modulus comes first
        {group41, "1x", "3233", 0, 2},                           // malformed texts come before all
        {group41, "17", "32 33", 0, 2},
        {group41, "17", "1" + std::string(128, '0'), 0, 2},      // 129 significant digits
        {group41, "0", "abc", 0, 2},
        {"27a0", "2753", "3233", 1, 2},                          // a malformed token
        {"+2790", "2753", "3233", 1, 2},
        {"3233", "2753", "3233", 1, 3},
        {"2790", "0", "3233", 1, 1},
    };
    for (const Case& c : cases) {
        const Outcome out = doRsa(c.data, c.exponent.c_str(), c.modulus.c_str(), c.direction);
        EXPECT_EQ(out.code, c.code) << c.exponent << " " << c.modulus << " direction " << c.direction;
        EXPECT_EQ(out.length, -7) << "outputLength stays as it was";
        if (c.direction == 0) {
            EXPECT_EQ(out.output[0], 0xA5) << "output stays as it was";
        }
    }
    // 128 significant digits are fine (and exact).
    EXPECT_EQ(doRsa(group41, "1", ("1" + std::string(127, '0')).c_str(), 0).code, 0);
}

TEST(DoRSA, ErrorsKeepEarlierTokensBytes) {
    const Outcome out = doRsa("2790 2790 9999", "2753", "3233", 1);
    EXPECT_EQ(out.code, 3);
    EXPECT_EQ(out.length, -7);
    EXPECT_EQ(toHex(out.output.data(), 9), "0000004100000041A5");
    const Outcome line0 = doRsa(std::string("\0\0\0\x41\0\0\x0C\xA1", 8), "17", "3233", 0);
    EXPECT_EQ(line0.code, 3);
    EXPECT_EQ(line0.output[0], 0xA5) << "direction 0 writes nothing on an error";
}

TEST(DoRSA, NothingHappensForLengthsBelowOne) {
    for (std::int32_t direction : {0, 1}) {
        std::vector<std::uint8_t> output(8, 0xA5);
        std::int32_t length = -7;
        EXPECT_EQ(callExport("DoRSA", "2790", 0, output.data(), &length, "17", "0", direction), 0);
        EXPECT_EQ(callExport("DoRSA", "2790", -4, output.data(), &length, "x", "y", direction), 0);
        EXPECT_EQ(length, -7);
        EXPECT_EQ(output, std::vector<std::uint8_t>(8, 0xA5));
    }
}

}  // namespace
}  // namespace tessaly::host
