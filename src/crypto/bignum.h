// Decimal big numbers: 128 digits, one per byte, most significant first. RSA's original
// arithmetic, kept (outside the DLL) as the reference its binary engine is tested and
// measured against.
#pragma once

#include <array>
#include <cstdint>

namespace tessaly::bignum {

constexpr int digitCount = 128;

// An unsigned integer below 10^128: digit values 0 to 9 (not characters), byte 0 the most
// significant, zero-padded on the left.
using DecimalNumber = std::array<std::uint8_t, digitCount>;

// The binary expansion of an exponent: byte 511 holds bit 0, byte 510 bit 1, and so on; the
// byte below the most significant bit holds the end marker 255.
using ExponentBits = std::array<std::uint8_t, 512>;
constexpr std::uint8_t endMarker = 255;

void zero(DecimalNumber& a);
void copy(DecimalNumber& destination, const DecimalNumber& source);
int compare(const DecimalNumber& a, const DecimalNumber& b);  // -1, 0 or 1
int significantDigits(const DecimalNumber& a);                  // 0 for zero
// result = a - b; requires a >= b. result may be a.
void subtract(const DecimalNumber& a, const DecimalNumber& b, DecimalNumber& result);
// result = a * b; requires significantDigits(a) + significantDigits(b) <= 128. result must
// be neither operand.
void multiply(const DecimalNumber& a, const DecimalNumber& b, DecimalNumber& result);
// quotient = a / divisor, remainder = a % divisor; requires divisor > 0. remainder may be a;
// quotient must be neither a nor divisor.
void divide(const DecimalNumber& a, const DecimalNumber& divisor, DecimalNumber& remainder,
            DecimalNumber& quotient);
void binaryExpansion(const DecimalNumber& exponent, ExponentBits& bits);
// result = base^exponent mod modulus, right to left over the bits; requires exponent >= 1,
// base < modulus and a modulus of at most 64 digits.
void modularPower(const DecimalNumber& base, const DecimalNumber& modulus, DecimalNumber& result,
                  const ExponentBits& bits);

// The number with the given value (for tests and small constants).
DecimalNumber fromInteger(std::uint64_t value);

}  // namespace tessaly::bignum
