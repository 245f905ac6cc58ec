// RSA on decimal texts: the number operation x^e mod m behind DoRSA, computed in binary
// (32-bit limbs, Montgomery multiplication for odd moduli) with exactly the results of the
// decimal arithmetic in bignum.h.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace tessaly::rsa {

// Result codes of DoRSA.
enum class Status : std::int32_t {
    success = 0,
    zeroExponent = 1,        // checked last
    malformedText = 2,       // a byte other than "0" to "9", or over 128 significant digits
    notBelowModulus = 3,     // a modulus of zero always gives this
};

constexpr int maxDigits = 128;
constexpr int maxLimbs = 14;  // 10^128 < 2^426 <= 2^448

// An unsigned integer below 10^128, least significant 32-bit limb first.
struct Natural {
    std::array<std::uint32_t, maxLimbs> limbs{};
    int size = 0;  // limbs in use; no leading zero limbs; 0 for zero
};

// Reads a decimal text (an empty one is zero; leading zeros do not count). Returns false for a
// byte other than "0" to "9" or more than 128 significant digits.
bool parse(std::string_view text, Natural& value);

// Writes value in decimal without leading zeros ("0" for zero); returns the length. out
// needs room for 129 characters; no terminating zero is written.
std::size_t format(const Natural& value, char* out);

int compare(const Natural& a, const Natural& b);

// An odd modulus as the four-at-a-time engine takes it: 28-bit limbs, so that products
// accumulate in 64-bit lanes without carrying.
struct BatchKey {
    explicit BatchKey(const Natural& modulus);
    int limbs;                              // L, with 28L >= bits(m) + 2, so that 4m <= R
    std::array<std::uint32_t, 16> modulus;  // 28-bit limbs, least significant first
    std::uint32_t inverse;                  // -m^-1 mod 2^28
    std::array<std::uint32_t, 16> rSquared; // R^2 mod m, R = 2^(28L)
};

// The same for the eight-at-a-time engine: 52-bit limbs, as AVX-512 IFMA multiplies them.
struct WideBatchKey {
    explicit WideBatchKey(const Natural& modulus);
    int limbs;                              // L, with 52L >= bits(m) + 2
    std::array<std::uint64_t, 9> modulus;   // 52-bit limbs, least significant first
    std::uint64_t inverse;                  // -m^-1 mod 2^52
    std::array<std::uint64_t, 9> rSquared;  // R^2 mod m, R = 2^(52L)
};

// x^e mod m for many x with one key: the modulus-dependent set-up is done once.
class ModularPower {
public:
    // exponent >= 1 and modulus >= 1 are the caller's to check.
    ModularPower(const Natural& exponent, const Natural& modulus);
    // base < modulus.
    Natural power(const Natural& base) const;
    // results[i] = power(bases[i]), for an odd modulus eight at a time with AVX-512 IFMA and
    // four at a time with AVX2.
    void powerMany(const Natural* bases, Natural* results, std::size_t count) const;
    // Whether powerMany runs a batch engine.
    bool batched() const { return batch_.has_value(); }

private:
    Natural exponent_, modulus_;
    bool montgomery_ = false;            // odd modulus
    std::uint32_t inverse_ = 0;          // -m^-1 mod 2^32
    Natural rSquared_;                   // R^2 mod m, R = 2^(32 * limbs)
    std::optional<BatchKey> batch_;
    std::optional<WideBatchKey> wideBatch_;
};

// The way powerMany runs on this processor: "avx512ifma" (eight at a time), "avx2" (four) or
// "portable".
const char* powerPathName();

// The number operation of DoRSA with one key: checks in the order hosts see them (malformed
// texts, then a number not below the modulus, then a zero exponent), then x^e mod m. Null key
// texts read as empty, and an empty text as zero.
class NumberOperation {
public:
    NumberOperation(const char* exponentText, const char* modulusText);
    Status check(const Natural& number) const;
    // Reads number from text too.
    Status check(std::string_view text, Natural& number) const;
    // For numbers that check() accepted.
    void runMany(const Natural* numbers, Natural* results, std::size_t count) const;

private:
    Natural exponent_, modulus_;
    bool keysWellFormed_;
    std::optional<ModularPower> power_;
};

}  // namespace tessaly::rsa
