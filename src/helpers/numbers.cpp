// The number and bit helpers: 32-bit arithmetic that wraps, shifts by counts mod 32, byte
// reductions and text-to-number conversions under the "C" conventions.
#include <clocale>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "frame/export_entry.h"

namespace {

// Wrapping arithmetic is done on unsigned values, where it is defined.
std::int32_t fromUnsigned(std::uint32_t value) { return static_cast<std::int32_t>(value); }
std::uint32_t toUnsigned(std::int32_t value) { return static_cast<std::uint32_t>(value); }

bool isSpace(char c) { return c == ' ' || (c >= 9 && c <= 13); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Length of the longest prefix of the form [sign] digits-with-at-most-one-point
// [exponent-letter [sign] digits], where the mantissa holds at least one digit; 0 if none.
std::size_t decimalPrefixLength(const char* text) {
    std::size_t i = 0;
    if (text[i] == '+' || text[i] == '-') ++i;
    std::size_t digits = 0;
    bool point = false;
    for (;; ++i) {
        if (isDigit(text[i])) ++digits;
        else if (text[i] == '.' && !point) point = true;
        else break;
    }
    if (digits == 0) return 0;
    const std::size_t mantissaEnd = i;
    if (text[i] == 'e' || text[i] == 'E' || text[i] == 'd' || text[i] == 'D') {
        std::size_t j = i + 1;
        if (text[j] == '+' || text[j] == '-') ++j;
        if (isDigit(text[j])) {
            while (isDigit(text[j])) ++j;
            return j;
        }
    }
    return mantissaEnd;
}

}  // namespace

TESSALY_EXPORT std::int32_t TESSALY_API abs_zk(std::int32_t value) {
    // -2147483648 stays itself.
    return value < 0 ? fromUnsigned(0u - toUnsigned(value)) : value;
}

TESSALY_EXPORT std::int32_t TESSALY_API chr_zk(std::int32_t value) {
    return value % 256;  // C++ remainders take the sign of the dividend
}

TESSALY_EXPORT std::int32_t TESSALY_API int_zk(std::int32_t value) { return value & 0xFF; }

TESSALY_EXPORT std::int32_t TESSALY_API not_zk(std::int32_t value) { return ~value; }

TESSALY_EXPORT std::int32_t TESSALY_API add_zk(std::int32_t a, std::int32_t b) {
    return fromUnsigned(toUnsigned(a) + toUnsigned(b));
}

TESSALY_EXPORT std::int32_t TESSALY_API sub_zk(std::int32_t a, std::int32_t b) {
    return fromUnsigned(toUnsigned(a) - toUnsigned(b));
}

TESSALY_EXPORT std::int32_t TESSALY_API mul_zk(std::int32_t a, std::int32_t b) {
    return fromUnsigned(toUnsigned(a) * toUnsigned(b));
}

// A divisor of 0 gives 0, and -2147483648 / -1 wraps to -2147483648: no argument traps.
TESSALY_EXPORT std::int32_t TESSALY_API div_zk(std::int32_t a, std::int32_t b) {
    if (b == 0) return 0;
    if (b == -1) return fromUnsigned(0u - toUnsigned(a));
    return a / b;
}

// A divisor of 0 gives a; anything mod -1 is 0. Otherwise the sign of a.
TESSALY_EXPORT std::int32_t TESSALY_API mod_zk(std::int32_t a, std::int32_t b) {
    if (b == 0) return a;
    if (b == -1) return 0;
    return a % b;
}

TESSALY_EXPORT std::int32_t TESSALY_API and_zk(std::int32_t a, std::int32_t b) { return a & b; }
TESSALY_EXPORT std::int32_t TESSALY_API or_zk(std::int32_t a, std::int32_t b) { return a | b; }
TESSALY_EXPORT std::int32_t TESSALY_API xor_zk(std::int32_t a, std::int32_t b) { return a ^ b; }

TESSALY_EXPORT std::int32_t TESSALY_API leftshift_zk(std::int32_t value, std::int32_t count) {
    return fromUnsigned(toUnsigned(value) << (count & 31));
}

TESSALY_EXPORT std::int32_t TESSALY_API rightshift_zk(std::int32_t value, std::int32_t count) {
    return value >> (count & 31);  // arithmetic: copies of the sign bit come in
}

TESSALY_EXPORT std::int32_t TESSALY_API urightshift_zk(std::int32_t value, std::int32_t count) {
    return fromUnsigned(toUnsigned(value) >> (count & 31));
}

// A null text reads as the empty text (hosts pass an unassigned string as null).
TESSALY_EXPORT std::int32_t TESSALY_API atoi_zk(const char* text) {
    if (text == nullptr) return 0;
    while (isSpace(*text)) ++text;
    const bool negative = *text == '-';
    if (*text == '+' || *text == '-') ++text;
    std::uint32_t value = 0;  // wraps silently beyond 32 bits
    for (; isDigit(*text); ++text) value = value * 10 + static_cast<std::uint32_t>(*text - '0');
    return fromUnsigned(negative ? 0u - value : value);
}

// "d" and "D" introduce an exponent as "e" does (1.5d2 is 150.0); no hexadecimal, infinity
// or not-a-number forms.
TESSALY_EXPORT double TESSALY_API atof_zk(const char* text) {
    if (text == nullptr) return 0.0;
    while (isSpace(*text)) ++text;
    const std::size_t length = decimalPrefixLength(text);
    if (length == 0) return 0.0;
    std::string number(text, length);
    // strtod reads the point of the current locale: hand it that one, whatever the host set.
    const char point = *std::localeconv()->decimal_point;
    for (char& c : number) {
        if (c == 'd' || c == 'D') c = 'e';
        else if (c == '.') c = point;
    }
    return std::strtod(number.c_str(), nullptr);
}
