// The decimal arithmetic, step for step: schoolbook subtraction and multiplication, division
// by shift and subtract, and the right-to-left binary modular power.
#include "bignum.h"

namespace tessaly::bignum {

void zero(DecimalNumber& a) { a.fill(0); }

void copy(DecimalNumber& destination, const DecimalNumber& source) { destination = source; }

int compare(const DecimalNumber& a, const DecimalNumber& b) {
    for (int i = 0; i < digitCount; ++i)
        if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
    return 0;
}

int significantDigits(const DecimalNumber& a) {
    for (int i = 0; i < digitCount; ++i)
        if (a[i] != 0) return digitCount - i;
    return 0;
}

void subtract(const DecimalNumber& a, const DecimalNumber& b, DecimalNumber& result) {
    DecimalNumber t = a;
    for (int i = digitCount - 1; i >= 0; --i) {
        if (t[i] < b[i]) {
            t[i] += 10;
            int j = i - 1;  // borrow: zeros become nines up to the first nonzero digit
            while (j > 0 && t[j] == 0) t[j--] = 9;
            if (j >= 0) --t[j];
        }
        result[i] = static_cast<std::uint8_t>(t[i] - b[i]);
    }
}

void multiply(const DecimalNumber& a, const DecimalNumber& b, DecimalNumber& result) {
    zero(result);
    const int ia = digitCount - significantDigits(a);
    const int ib = digitCount - significantDigits(b);
    if (ia == digitCount) return;
    for (int i = digitCount - 1; i >= ia; --i) {
        int p = i;
        for (int j = digitCount - 1; j >= ib; --j, --p) {
            const int product = a[i] * b[j];
            const int q = product / 10;
            int digit = result[p] + product - 10 * q;
            if (p > 0) result[p - 1] = static_cast<std::uint8_t>(result[p - 1] + digit / 10 + q);
            result[p] = static_cast<std::uint8_t>(digit % 10);
        }
    }
}

namespace {

// The number shifted up by k decimal places.
DecimalNumber shifted(const DecimalNumber& a, int k) {
    DecimalNumber t{};
    for (int i = k; i < digitCount; ++i) t[i - k] = a[i];
    return t;
}

}  // namespace

void divide(const DecimalNumber& a, const DecimalNumber& divisor, DecimalNumber& remainder,
            DecimalNumber& quotient) {
    zero(quotient);
    remainder = a;
    const int n = significantDigits(divisor);
    int order = compare(remainder, divisor);
    if (order < 0) return;
    if (order == 0) {
        zero(remainder);
        quotient[digitCount - 1] = 1;
        return;
    }
    do {
        const int d = significantDigits(remainder) - n;
        int k = 0;
        if (d >= 1) {
            // Compare the remainder's top n digits with the divisor's digits.
            const int top = digitCount - significantDigits(remainder);
            int first = 0;
            for (int i = 0; i < n && first == 0; ++i) {
                const int r = remainder[top + i], s = divisor[digitCount - n + i];
                first = r < s ? -1 : r > s ? 1 : 0;
            }
            k = first < 0 ? d - 1 : d;
        }
        ++quotient[digitCount - 1 - k];
        subtract(remainder, shifted(divisor, k), remainder);
        order = compare(remainder, divisor);
    } while (order > 0);
    if (order == 0) {
        zero(remainder);
        ++quotient[digitCount - 1];
    }
}

void binaryExpansion(const DecimalNumber& exponent, ExponentBits& bits) {
    bits.fill(0);
    int index = 511;
    const DecimalNumber two = fromInteger(2);
    DecimalNumber t = exponent, remainder, quotient;
    while (significantDigits(t) > 0) {
        divide(t, two, remainder, quotient);
        bits[index--] = remainder[digitCount - 1];
        t = quotient;
    }
    bits[index] = endMarker;
}

void modularPower(const DecimalNumber& base, const DecimalNumber& modulus, DecimalNumber& result,
                  const ExponentBits& bits) {
    DecimalNumber power = base, accumulator = bits[511] == 1 ? base : fromInteger(1);
    DecimalNumber product, quotient;
    for (int index = 510; bits[index] != endMarker; --index) {
        multiply(power, power, product);
        divide(product, modulus, power, quotient);
        if (bits[index] == 1) {
            multiply(power, accumulator, product);
            divide(product, modulus, accumulator, quotient);
        }
    }
    result = accumulator;
}

DecimalNumber fromInteger(std::uint64_t value) {
    DecimalNumber a{};
    for (int i = digitCount - 1; i >= 0 && value != 0; --i, value /= 10)
        a[i] = static_cast<std::uint8_t>(value % 10);
    return a;
}

}  // namespace tessaly::bignum
