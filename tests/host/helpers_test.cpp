// The scramblers and the _zk number, string and pattern helpers through the DLL: one table of
// cases per family, the mended cases, and the by-reference forms.
#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "dll_under_test.h"

namespace tessaly::host {
namespace {

using Bytes = std::vector<std::uint8_t>;

// ---- scramblers ----

TEST(Scramblers, ExclusiveOrExamples) {
    Bytes b = {1, 2, 3};
    callExport<void>("Exclusive_OR", b.data(), 3, 0, 1);
    EXPECT_EQ(b, (Bytes{1, 3, 0}));
    callExport<void>("Exclusive_OR", b.data(), 3, 0, 0);
    EXPECT_EQ(b, (Bytes{1, 2, 3}));
    Bytes low = {9, 8, 7}, high = low;
    callExport<void>("Exclusive_OR", low.data(), 3, 5, 1);
    callExport<void>("Exclusive_OR", high.data(), 3, 0x105, 1);
    EXPECT_EQ(low, high) << "only the low 8 bits of the seed count";
    callExport<void>("Exclusive_OR", b.data(), 0, 7, 1);
    callExport<void>("Exclusive_OR", b.data(), -3, 7, 0);
    EXPECT_EQ(b, (Bytes{1, 2, 3}));
}

TEST(Scramblers, ShiftDataExamples) {
    struct Case {
        Bytes in;
        std::int32_t count, direction;
        Bytes out;
    };
    const Case cases[] = {
        {{0x80, 0x01}, 1, 0, {0x00, 0x03}},
        {{0x00, 0x03}, 1, 1, {0x80, 0x01}},
        {{0xB1}, 8, 0, {0xB1}},
        {{0xB1}, 3, 0, {0x8D}},        // 1011 0001 rotated left by 3 within itself
        {{0xB1}, 3, 1, {0x36}},        // and right by 3
        {{0x80, 0x01}, 257, 0, {0x00, 0x03}},  // only the low 8 bits of the count
        {{1, 2, 3, 4, 5}, 16, 0, {3, 4, 5, 1, 2}},
        {{1, 2, 3, 4, 5}, 16, 1, {4, 5, 1, 2, 3}},
        {{1, 2, 3}, 0, 0, {1, 2, 3}},
    };
    for (const Case& c : cases) {
        Bytes b = c.in;
        callExport<void>("Shift_Data", b.data(), static_cast<std::int32_t>(b.size()), c.count, c.direction);
        EXPECT_EQ(b, c.out) << "count " << c.count << " direction " << c.direction;
    }
    for (std::int32_t length = 1; length <= 31; ++length) {
        Bytes b(length);
        for (std::int32_t i = 0; i < length; ++i) b[i] = static_cast<std::uint8_t>(i * 37 + 1);
        const Bytes before = b;
        callExport<void>("Shift_Data", b.data(), length, 8 * length, length % 2);
        EXPECT_EQ(b, before) << "a whole turn, length " << length;
    }
    Bytes untouched = {1, 2};
    callExport<void>("Shift_Data", untouched.data(), 0, 5, 0);
    callExport<void>("Shift_Data", untouched.data(), -1, 5, 1);
    EXPECT_EQ(untouched, (Bytes{1, 2}));
}

TEST(Scramblers, SubstitutionTable) {
    struct Row {
        std::uint8_t byte, t, u;
    };
    const Row rows[] = {{3, 30, 30},   {10, 123, 123}, {17, 83, 71}, {29, 31, 31}, {32, 122, 122},
                        {48, 106, 106}, {56, 89, 98},  {65, 98, 89}, {71, 17, 83}, {77, 77, 77},
                        {83, 71, 17},  {89, 65, 56},   {98, 56, 65}, {122, 32, 32}, {123, 10, 10},
                        {0, 0, 0},     {28, 28, 28},   {124, 124, 124}, {200, 200, 200}, {255, 255, 255}};
    for (const Row& row : rows) {
        std::uint8_t t = row.byte, u = row.byte;
        callExport<void>("Substitution", &t, 1, 0);
        callExport<void>("Substitution", &u, 1, 1);
        EXPECT_EQ(t, row.t) << "T[" << int(row.byte) << "]";
        EXPECT_EQ(u, row.u) << "U[" << int(row.byte) << "]";
    }
    Bytes all(256);
    for (int i = 0; i < 256; ++i) all[i] = static_cast<std::uint8_t>(i);
    const Bytes before = all;
    callExport<void>("Substitution", all.data(), 256, 0);
    callExport<void>("Substitution", all.data(), 256, -1);
    EXPECT_EQ(all, before);
}

// ---- numbers ----

TEST(NumberHelpers, ArithmeticShiftsAndReductions) {
    struct Case {
        const char* name;
        std::int32_t a, b, result;
    };
    constexpr std::int32_t minimum = -2147483647 - 1;
    const Case twoArguments[] = {
        {"add_zk", 2147483647, 1, minimum},   {"sub_zk", minimum, 1, 2147483647},
        {"mul_zk", 65536, 65536, 0},          {"mul_zk", -3, 7, -21},
        {"div_zk", -7, 2, -3},                {"mod_zk", -7, 2, -1},
        {"div_zk", 7, -2, -3},                {"mod_zk", 7, -2, 1},
        {"div_zk", 9, 0, 0},                  {"mod_zk", 9, 0, 9},      // mended: no trap
        {"div_zk", minimum, -1, minimum},     {"mod_zk", minimum, -1, 0},
        {"and_zk", 12, 10, 8},                {"or_zk", 12, 10, 14},    {"xor_zk", 12, 10, 6},
        {"leftshift_zk", 1, 32, 1},           {"leftshift_zk", 1, 33, 2},
        {"leftshift_zk", 1, -1, minimum},     {"rightshift_zk", -8, 1, -4},
        {"urightshift_zk", -8, 1, 2147483644}, {"urightshift_zk", -1, 31, 1},
    };
    for (const Case& c : twoArguments) EXPECT_EQ(callExport(c.name, c.a, c.b), c.result) << c.name << "(" << c.a << ", " << c.b << ")";
    const Case oneArgument[] = {
        {"abs_zk", -5, 0, 5},     {"abs_zk", minimum, 0, minimum}, {"not_zk", 0, 0, -1},
        {"chr_zk", -1, 0, -1},    {"int_zk", -1, 0, 255},          {"chr_zk", 65, 0, 65},
        {"int_zk", 65, 0, 65},    {"chr_zk", 300, 0, 44},          {"int_zk", 300, 0, 44},
        {"chr_zk", -256, 0, 0},   {"chr_zk", -300, 0, -44},        {"int_zk", -300, 0, 212},
    };
    for (const Case& c : oneArgument) EXPECT_EQ(callExport(c.name, c.a), c.result) << c.name << "(" << c.a << ")";
}

TEST(NumberHelpers, TextConversions) {
    const std::pair<const char*, std::int32_t> integers[] = {
        {"  -42abc", -42}, {"+7", 7}, {"- 7", 0}, {"4294967297", 1}, {"0x1F", 0}, {"\t\n 12", 12}, {"", 0}};
    for (const auto& [text, value] : integers) EXPECT_EQ(callExport("atoi_zk", text), value) << text;
    EXPECT_EQ(callExport("atoi_zk", nullptr), 0) << "null reads as empty";

    const std::pair<const char*, double> reals[] = {
        {" 3.5e2x", 350.0}, {"1.5D2", 150.0}, {"1.5d-1", 0.15}, {"1.5+2", 1.5}, {"abc", 0.0},
        {"-.5", -0.5}, {"2.", 2.0}, {"1e", 1.0}, {"1.2.3", 1.2}, {"inf", 0.0}, {"0x10", 0.0}};
    for (const auto& [text, value] : reals) EXPECT_DOUBLE_EQ(callExportDouble("atof_zk", text), value) << text;
    EXPECT_EQ(callExportDouble("atof_zk", nullptr), 0.0);
}

// ---- strings ----

TEST(StringHelpers, LengthsAndSearches) {
    EXPECT_EQ(callExport("strlen_zk", ""), 0);
    EXPECT_EQ(callExport("strlen_zk", "abc"), 3);
    EXPECT_EQ(callExport("strlenword_zk", "a\x81\x40" "b\xE9\xA1" "c"), 5);  // 7 bytes
    EXPECT_EQ(callExport("strlenword_zk", "ab\xE9"), 3) << "a lead byte at the end counts once";
    struct Search {
        const char *text, *sought;
        std::int32_t first, last;
    };
    const Search searches[] = {{"abcabc", "bc", 1, 4}, {"abcabc", "xy", -1, -1}, {"abcabc", "BC", -1, -1},
                               {"aaa", "aa", 0, 1},    {"abc", "", 0, 3},        {"\xE9\xA1" "a", "a", 2, 2}};
    for (const Search& s : searches) {
        EXPECT_EQ(callExport("instr_zk", s.text, s.sought), s.first) << s.text << " / " << s.sought;
        EXPECT_EQ(callExport("inrstr_zk", s.text, s.sought), s.last) << s.text << " / " << s.sought;
    }
}

TEST(StringHelpers, SetCompareAndCase) {
    char text[] = "hello";
    callExport<void>("setstrchar_zk", text, 0, 'J');
    EXPECT_STREQ(text, "Jello");
    callExport<void>("setstrchar_zk", text, 5, 'X');
    callExport<void>("setstrchar_zk", text, -1, 'X');
    EXPECT_STREQ(text, "Jello");
    callExport<void>("setstrchar_zk", text, 1, 0x141);
    EXPECT_STREQ(text, "JAllo");
    char* reference = text;
    callExport<void>("setstrchars_zk", &reference, 3, 0);
    EXPECT_STREQ(text, "JAl");
    EXPECT_EQ(reference, text);

    const std::tuple<const char*, const char*, std::int32_t> comparisons[] = {
        {"abc", "abd", -1}, {"abc", "ab", 1}, {"ab", "abc", -1}, {"same", "same", 0}, {"\xC8", "\x64", 1}};
    for (const auto& [a, b, result] : comparisons) EXPECT_EQ(callExport("strcmp_zk", a, b), result) << a << " " << b;
    const char left[] = {'a', 0, 'b'}, right[] = {'a', 0, 'c'};
    EXPECT_EQ(callExport(memcmpExportName, left, right, 3), -1) << "past zero bytes";
    EXPECT_EQ(callExport(memcmpExportName, left, right, 2), 0);
    EXPECT_EQ(callExport(memcmpExportName, "x", "y", 0), 0);
    EXPECT_EQ(callExport(memcmpExportName, "\xC8", "\x64", 1), 1);

    char mixed[] = "Abc-xyz1\xE9\x82" "a";
    EXPECT_EQ(callExport<char*>("toupper_zk", mixed), mixed);
    EXPECT_STREQ(mixed, "ABC-XYZ1\xE9\x82" "A");
    char* mixedReference = mixed;
    EXPECT_EQ(callExport<char*>("tolowers_zk", &mixedReference), mixed);
    EXPECT_STREQ(mixed, "abc-xyz1\xE9\x82" "a");
    EXPECT_EQ(callExport<char*>("touppers_zk", &mixedReference), mixed);
    EXPECT_EQ(callExport<char*>("tolower_zk", mixed), mixed);
    EXPECT_STREQ(mixed, "abc-xyz1\xE9\x82" "a");
}

TEST(StringHelpers, DigitTests) {
    const std::tuple<const char*, std::int32_t, std::int32_t> cases[] = {
        {"0123", 1, 1}, {"12.5", 0, 1}, {".", 0, 1}, {"1.2.3", 0, 1}, {"-1", 0, 0}, {"-1.5", 0, 0},
        {"1e5", 0, 0},  {"1 2", 0, 0},  {"", 0, 0},  {nullptr, 0, 0}};
    for (const auto& [text, numeric, digital] : cases) {
        EXPECT_EQ(callExport("isnumeric_zk", text), numeric) << (text ? text : "null");
        EXPECT_EQ(callExport("isdigital_zk", text), digital) << (text ? text : "null");
    }
}

TEST(StringHelpers, NullTextsAreEmptyOrLeftAlone) {
    EXPECT_EQ(callExport("strlen_zk", nullptr), 0);
    EXPECT_EQ(callExport("strlenword_zk", nullptr), 0);
    EXPECT_EQ(callExport("instr_zk", nullptr, ""), 0);
    EXPECT_EQ(callExport("instr_zk", nullptr, "a"), -1);
    EXPECT_EQ(callExport("instr_zk", "abc", nullptr), 0);
    EXPECT_EQ(callExport("inrstr_zk", nullptr, "a"), -1);
    EXPECT_EQ(callExport("inrstr_zk", "abc", nullptr), 3);
    EXPECT_EQ(callExport("strcmp_zk", nullptr, ""), 0);
    EXPECT_EQ(callExport("strcmp_zk", nullptr, "a"), -1);
    EXPECT_EQ(callExport("strcmp_zk", "a", nullptr), 1);
    EXPECT_EQ(callExport("MatchPattern_zk", nullptr, "*"), 1);
    EXPECT_EQ(callExport("MatchPattern_zk", nullptr, nullptr), 1);
    EXPECT_EQ(callExport("MatchPattern_zk", "a", nullptr), 0);
    EXPECT_EQ(callExport<char*>("toupper_zk", nullptr), nullptr);
    EXPECT_EQ(callExport<char*>("tolower_zk", nullptr), nullptr);
    callExport<void>("setstrchar_zk", nullptr, 0, 'A');
}

// ---- wildcard matching ----

TEST(MatchPattern, Examples) {
    struct Case {
        const char *text, *pattern;
        std::int32_t match;
    };
    const Case cases[] = {
        {"", "", 1},          {"a", "", 0},          {"", "*", 1},           {"anything", "*", 1},
        {"", "**", 1},        {"x", "**", 1},        {"", "?", 0},           {"ab", "??", 1},
        {"a", "??", 0},       {"abc", "??", 0},      {"ABC", "abc", 1},      {"aBc", "abc", 1},
        {"abc", "ABC", 1},    {"ac", "a*c", 1},      {"abc", "a*c", 1},      {"abbbc", "a*c", 1},
        {"abcd", "a*c", 0},   {"readme.TXT", "*.txt", 1}, {"bx", "[ABC]x", 1}, {"bx", "[abc]x", 0},
        {"Bx", "[abc]x", 0},  {"q", "[A-Z]", 1},     {"Q", "[A-Z]", 1},      {"5", "[A-Z]", 0},
        {"a", "[a-z]", 0},    {"A", "[a-z]", 0},     {"x", "[A-C-Z]", 1},    {"5", "[-9]", 1},
        {" ", "[-9]", 1},     {"#", "[-9]", 1},      {"A", "[-9]", 0},       {"a", "[]", 0},
        {"", "[]", 0},        {"a", "[A-]", 1},      {"A", "[A-]", 1},       {"b", "[A-]", 0},
        {"\\", "\\", 1},      {"a\\b", "a\\b", 1},   {"\xE9", "\xC9", 0},    {"\xE9", "\xE9", 1},
        {"\xE9", "[\xE9]", 1}, {"-", "-", 1},        {"]", "]", 1},
        // A class without its "]": accepted, the pattern ends there; else no match.
        {"a", "[A", 1},       {"b", "[A", 0},        {"a", "[", 0},          {"ab", "a[B", 1},
        {"bc", "[AB", 0},     {"xxa", "*[A", 1},     {"a", "[A-", 1},        {"b", "[A-", 0},        {"q", "[A-Z", 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(callExport("MatchPattern_zk", c.text, c.pattern), c.match) << "text \"" << c.text << "\" pattern \"" << c.pattern << "\"";
}

TEST(MatchPattern, ManyStarsStayFast) {
    const std::string text = std::string(99999, 'a') + "b";
    std::string pattern;  // 16 stars; the text fails only at its last character
    for (int star = 0; star < 16; ++star) pattern += "*a";
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(callExport("MatchPattern_zk", text.c_str(), pattern.c_str()), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

}  // namespace
}  // namespace tessaly::host
