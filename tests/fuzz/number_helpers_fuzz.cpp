// The number helpers against the rules worked in 64-bit arithmetic, and atoi_zk and atof_zk
// against a reading of the longest prefix the rules allow (converted by std::from_chars).
#include <charconv>
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz/fuzz_input.h"
#include "tessaly.h"

namespace {

using tessaly::fuzzing::ExactText;
using tessaly::fuzzing::FuzzInput;
using tessaly::fuzzing::require;

std::int32_t low32(std::int64_t value) { return static_cast<std::int32_t>(static_cast<std::uint32_t>(value)); }
bool isSpace(char c) { return c == ' ' || (c >= 9 && c <= 13); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

void checkArithmetic(std::int32_t a, std::int32_t b) {
    const std::int64_t wideA = a, wideB = b;
    require(abs_zk(a) == low32(wideA < 0 ? -wideA : wideA));
    require(chr_zk(a) == (a >= 0 ? a % 256 : static_cast<std::int32_t>(-((-wideA) % 256))));
    require(int_zk(a) == (a & 0xFF));
    require(not_zk(a) == low32(-1 - wideA));
    require(add_zk(a, b) == low32(wideA + wideB));
    require(sub_zk(a, b) == low32(wideA - wideB));
    require(mul_zk(a, b) == low32(static_cast<std::int64_t>(static_cast<std::uint64_t>(wideA) * static_cast<std::uint64_t>(wideB))));
    // Outside the rules, the library's own choice: 0 and a for a divisor of 0, wrapping for -1.
    require(div_zk(a, b) == (b == 0 ? 0 : low32(wideA / wideB)));
    require(mod_zk(a, b) == (b == 0 ? a : low32(wideA % wideB)));
    require(and_zk(a, b) == low32(wideA & wideB));
    require(or_zk(a, b) == low32(wideA | wideB));
    require(xor_zk(a, b) == low32(wideA ^ wideB));
    const unsigned count = static_cast<std::uint32_t>(b) % 32;
    const std::uint64_t bits = static_cast<std::uint32_t>(a);
    require(leftshift_zk(a, b) == low32(static_cast<std::int64_t>(bits << count)));
    require(urightshift_zk(a, b) == low32(static_cast<std::int64_t>(bits >> count)));
    const std::int64_t floorHalf = wideA >= 0 ? wideA >> count : -((-wideA + (std::int64_t{1} << count) - 1) >> count);
    require(rightshift_zk(a, b) == low32(floorHalf));
}

void checkAtoi(const char* text) {
    const char* p = text;
    while (isSpace(*p)) ++p;
    const bool negative = *p == '-';
    if (*p == '+' || *p == '-') ++p;
    std::uint64_t value = 0;
    for (; isDigit(*p); ++p) value = (value * 10 + static_cast<unsigned>(*p - '0')) % (std::uint64_t{1} << 32);
    require(atoi_zk(text) == low32(negative ? -static_cast<std::int64_t>(value) : static_cast<std::int64_t>(value)));
}

void checkAtof(const char* text) {
    const char* p = text;
    while (isSpace(*p)) ++p;
    // sign, digits with at most one point (at least one digit), then an exponent only when a
    // letter e, E, d or D, an optional sign and at least one digit follow.
    std::string number;
    const char* q = p;
    if (*q == '+' || *q == '-') number += *q++;
    std::size_t digits = 0;
    bool point = false;
    for (;; ++q) {
        if (isDigit(*q)) ++digits;
        else if (*q == '.' && !point) point = true;
        else break;
        number += *q;
    }
    const double result = atof_zk(text);
    if (digits == 0) {
        require(std::memcmp(&result, "\0\0\0\0\0\0\0\0", 8) == 0);  // 0.0, not -0.0
        return;
    }
    if (*q == 'e' || *q == 'E' || *q == 'd' || *q == 'D') {
        const char* r = q + 1;
        if (*r == '+' || *r == '-') ++r;
        if (isDigit(*r)) {
            number += 'e';
            number.append(q + 1, r);
            while (isDigit(*r)) number += *r++;
        }
    }
    const bool negative = number[0] == '-';
    const std::size_t unsignedStart = number[0] == '+' || number[0] == '-' ? 1 : 0;
    double expected = 0;
    const auto [end, error] = std::from_chars(number.data() + unsignedStart, number.data() + number.size(), expected);
    require(end == number.data() + number.size());
    if (error != std::errc{}) return;  // beyond the double range: from_chars leaves no value
    if (negative) expected = -expected;
    require(std::memcmp(&result, &expected, sizeof result) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    checkArithmetic(input.int32(), input.int32());
    const ExactText text(input.text(256));
    checkAtoi(text.get());
    checkAtof(text.get());
    return 0;
}
