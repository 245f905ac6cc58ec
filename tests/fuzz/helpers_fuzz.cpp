// Fuzzes the text helpers: the matcher against the recursive backtracker (for patterns with
// few stars, where the backtracker is quick), atoi_zk against a plain wrap-around reading,
// atof_zk and the searches for safety, on arbitrary bytes split into two texts.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/reference_matcher.h"
#include "tessaly.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::size_t split = input.find('\0');
    const std::string first = input.substr(0, split);
    const std::string second = split == std::string::npos ? "" : input.substr(split + 1);
    const char* text = first.c_str();
    const char* pattern = second.c_str();  // ends at its first zero byte, like any host text

    if (std::count(pattern, pattern + std::strlen(pattern), '*') <= 4 && std::strlen(text) <= 64 &&
        MatchPattern_zk(text, pattern) != tessaly::testing::referenceMatch(text, pattern))
        std::abort();

    // atoi_zk: white space, one sign, digits, wrapping.
    const char* p = text;
    while (*p == ' ' || (*p >= 9 && *p <= 13)) ++p;
    const bool negative = *p == '-';
    if (*p == '+' || *p == '-') ++p;
    std::uint32_t value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) value = value * 10 + static_cast<std::uint32_t>(*p - '0');
    if (atoi_zk(text) != static_cast<std::int32_t>(negative ? 0u - value : value)) std::abort();

    (void)atof_zk(text);
    const std::int32_t at = instr_zk(text, pattern);
    const std::int32_t last = inrstr_zk(text, pattern);
    if ((at < 0) != (last < 0) || at > last) std::abort();
    if (at >= 0 && std::strncmp(text + at, pattern, std::strlen(pattern)) != 0) std::abort();
    (void)strlenword_zk(text);
    (void)strcmp_zk(text, pattern);
    return 0;
}
