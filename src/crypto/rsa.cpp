// The binary engine behind DoRSA: decimal text in and out, Montgomery multiplication for odd
// moduli, long division (Knuth's algorithm D) for even ones, fixed-window exponentiation.
//
// Constant time in the exponent: the exponentiation runs the same squarings and multiplications
// for every exponent of a given limb count, reads every table entry for each window, and no
// branch or address depends on a value derived from the exponent (the final reduction and the
// result's length included). Not so for an even modulus, whose long division branches on the
// values: RSA moduli are odd.
#include "rsa.h"

#include <algorithm>
#include <bit>
#include <utility>

#include "cpu_features.h"

#if defined(__i386__) || defined(__x86_64__)
#define TESSALY_RSA_AVX2 1
#include <immintrin.h>
#endif

namespace tessaly::rsa {
namespace {

using Limb = std::uint32_t;
using Wide = std::uint64_t;

constexpr Limb billion = 1000000000;  // 10^9 < 2^32: nine decimal digits per step

// All ones when a == b, else zero; a ^ b must be below 2^31.
constexpr Limb equalMask(Limb a, Limb b) { return 0 - (((a ^ b) - 1) >> 31); }

// Drops leading zero limbs without a branch on their values: results of the exponentiation
// pass through here.
void trim(Natural& a) {
    Limb size = 0;
    for (int i = 0; i < a.size; ++i) {
        const Limb nonzero = (a.limbs[i] | (0 - a.limbs[i])) >> 31;
        size ^= (size ^ static_cast<Limb>(i + 1)) & (0 - nonzero);
    }
    a.size = static_cast<int>(size);
}

// a = a * factor + addend
void multiplyAdd(Natural& a, Limb factor, Limb addend) {
    Wide carry = addend;
    for (int i = 0; i < a.size; ++i) {
        const Wide t = Wide{a.limbs[i]} * factor + carry;
        a.limbs[i] = static_cast<Limb>(t);
        carry = t >> 32;
    }
    if (carry != 0) a.limbs[a.size++] = static_cast<Limb>(carry);
}

// a = a / divisor; returns the remainder.
Limb divideSmall(Natural& a, Limb divisor) {
    Wide remainder = 0;
    for (int i = a.size - 1; i >= 0; --i) {
        const Wide t = remainder << 32 | a.limbs[i];
        a.limbs[i] = static_cast<Limb>(t / divisor);
        remainder = t % divisor;
    }
    trim(a);
    return static_cast<Limb>(remainder);
}

// The remainder of u (uSize limbs) divided by v (vSize >= 2 limbs, top limb nonzero), into
// r (vSize limbs). Knuth's algorithm D on normalised copies.
void remainderLong(const Limb* u, int uSize, const Limb* v, int vSize, Limb* r) {
    const int shift = std::countl_zero(v[vSize - 1]);
    Limb vn[maxLimbs], un[2 * maxLimbs + 1];
    for (int i = vSize - 1; i > 0; --i)
        vn[i] = static_cast<Limb>(v[i] << shift | Wide{v[i - 1]} >> (32 - shift));
    vn[0] = v[0] << shift;
    un[uSize] = static_cast<Limb>(Wide{u[uSize - 1]} >> (32 - shift));
    for (int i = uSize - 1; i > 0; --i)
        un[i] = static_cast<Limb>(u[i] << shift | Wide{u[i - 1]} >> (32 - shift));
    un[0] = u[0] << shift;

    for (int j = uSize - vSize; j >= 0; --j) {
        const Wide numerator = Wide{un[j + vSize]} << 32 | un[j + vSize - 1];
        Wide estimate = numerator / vn[vSize - 1];
        Wide rest = numerator - estimate * vn[vSize - 1];
        while (estimate >> 32 != 0 ||
               estimate * vn[vSize - 2] > (rest << 32 | un[j + vSize - 2])) {
            --estimate;
            rest += vn[vSize - 1];
            if (rest >> 32 != 0) break;
        }
        // un[j..j+vSize] -= estimate * vn
        std::int64_t borrow = 0, t = 0;
        for (int i = 0; i < vSize; ++i) {
            const Wide product = estimate * vn[i];
            t = static_cast<std::int64_t>(un[i + j]) - borrow - static_cast<std::int64_t>(product & 0xFFFFFFFF);
            un[i + j] = static_cast<Limb>(t);
            borrow = static_cast<std::int64_t>(product >> 32) - (t >> 32);
        }
        t = static_cast<std::int64_t>(un[j + vSize]) - borrow;
        un[j + vSize] = static_cast<Limb>(t);
        if (t < 0) {  // the estimate was one too large: add the divisor back
            Wide carry = 0;
            for (int i = 0; i < vSize; ++i) {
                const Wide s = Wide{un[i + j]} + vn[i] + carry;
                un[i + j] = static_cast<Limb>(s);
                carry = s >> 32;
            }
            un[j + vSize] += static_cast<Limb>(carry);
        }
    }
    for (int i = 0; i < vSize - 1; ++i)
        r[i] = static_cast<Limb>(un[i] >> shift | Wide{un[i + 1]} << (32 - shift));
    r[vSize - 1] = un[vSize - 1] >> shift;
}

// -m0^-1 mod 2^32 for odd m0, by Newton's iteration: each step doubles the correct low bits.
Limb negatedInverse(Limb m0) {
    Limb x = m0;  // right to 3 bits, since m0 * m0 = 1 mod 8 for odd m0
    for (int i = 0; i < 4; ++i) x *= 2 - m0 * x;
    return 0 - x;
}

// r = r - m when r (n limbs, with `overflow` the limb above them) is not below m, the one
// reduction every engine ends with; r stays below m when it started below 2m. The difference
// is always computed and kept or not by a mask.
void subtractIfNotBelow(Limb* r, const Limb* m, int n, Limb overflow) {
    Limb difference[maxLimbs];
    Wide borrow = 0;
    for (int i = 0; i < n; ++i) {
        const Wide d = Wide{r[i]} - m[i] - borrow;
        difference[i] = static_cast<Limb>(d);
        borrow = (d >> 32) & 1;
    }
    // Not below when a limb overflowed or the subtraction needed no borrow.
    const Limb overflowed = (overflow | (0 - overflow)) >> 31;
    const Limb keep = 0 - (overflowed | static_cast<Limb>(borrow ^ 1));
    for (int i = 0; i < n; ++i) r[i] = (difference[i] & keep) | (r[i] & ~keep);
}

// 2^k mod m by doubling 1 k times, reducing as it goes; one spare limb holds the bit a
// doubling carries out.
Natural powerOfTwoModulo(int k, const Natural& m) {
    const int n = m.size;
    Limb r[maxLimbs + 1] = {1};
    subtractIfNotBelow(r, m.limbs.data(), n, 0);  // m = 1
    for (int doubling = 0; doubling < k; ++doubling) {
        for (int i = n; i > 0; --i) r[i] = r[i] << 1 | r[i - 1] >> 31;
        r[0] <<= 1;
        subtractIfNotBelow(r, m.limbs.data(), n, r[n]);
        r[n] = 0;
    }
    Natural result;
    for (int i = 0; i < n; ++i) result.limbs[i] = r[i];
    result.size = n;
    trim(result);
    return result;
}

// ---- Montgomery arithmetic for an odd modulus of n limbs ----------------------------------

// r = a * b / R mod m, R = 2^(32n), for a, b < m (coarsely integrated operand scanning).
// r may be a or b.
void montgomeryMultiply(Limb* r, const Limb* a, const Limb* b, const Limb* m, Limb inverse, int n) {
    Limb t[maxLimbs + 2] = {};
    for (int i = 0; i < n; ++i) {
        Wide carry = 0;
        const Wide bi = b[i];
        for (int j = 0; j < n; ++j) {
            const Wide s = a[j] * bi + t[j] + carry;
            t[j] = static_cast<Limb>(s);
            carry = s >> 32;
        }
        Wide s = Wide{t[n]} + carry;
        t[n] = static_cast<Limb>(s);
        t[n + 1] = static_cast<Limb>(s >> 32);
        const Wide u = static_cast<Limb>(t[0] * inverse);
        carry = (u * m[0] + t[0]) >> 32;
        for (int j = 1; j < n; ++j) {
            s = u * m[j] + t[j] + carry;
            t[j - 1] = static_cast<Limb>(s);
            carry = s >> 32;
        }
        s = Wide{t[n]} + carry;
        t[n - 1] = static_cast<Limb>(s);
        t[n] = t[n + 1] + static_cast<Limb>(s >> 32);
    }
    // t < 2m: subtract m once when t >= m.
    subtractIfNotBelow(t, m, n, t[n]);
    for (int i = 0; i < n; ++i) r[i] = t[i];
}

// The exponent in windows of four bits from the top of its top limb, zero windows included:
// start(w) takes the table entry of the first window, then each further window squares four
// times and multiplies by its entry. Which operations run depends on the limb count only.
constexpr int windowBits = 4;
constexpr int windowEntries = 1 << windowBits;  // b^0 ... b^15

template <typename Start, typename Square, typename MultiplyBy>
void fixedWindow(const Natural& exponent, Start start, Square square, MultiplyBy multiplyBy) {
    const auto window = [&](int low) { return exponent.limbs[low / 32] >> (low % 32) & (windowEntries - 1); };
    int low = 32 * exponent.size - windowBits;
    start(window(low));
    for (low -= windowBits; low >= 0; low -= windowBits) {
        for (int k = 0; k < windowBits; ++k) square();
        multiplyBy(window(low));
    }
}

// out = table[index] (n limbs), reading every entry alike.
void selectEntry(Limb* out, const Limb (&table)[windowEntries][maxLimbs], Limb index, int n) {
    for (int j = 0; j < n; ++j) out[j] = 0;
    for (Limb e = 0; e < windowEntries; ++e) {
        const Limb mask = equalMask(e, index);
        for (int j = 0; j < n; ++j) out[j] |= table[e][j] & mask;
    }
}

Natural powerMontgomery(const Natural& base, const Natural& exponent, const Natural& modulus,
                        const Natural& rSquared, Limb inverse) {
    const int n = modulus.size;
    const Limb* m = modulus.limbs.data();
    const Limb one[maxLimbs] = {1};
    Limb table[windowEntries][maxLimbs];  // b^0 ... b^15 in Montgomery form
    montgomeryMultiply(table[0], one, rSquared.limbs.data(), m, inverse, n);
    montgomeryMultiply(table[1], base.limbs.data(), rSquared.limbs.data(), m, inverse, n);
    for (int k = 2; k < windowEntries; ++k) montgomeryMultiply(table[k], table[k - 1], table[1], m, inverse, n);

    Limb accumulator[maxLimbs] = {}, entry[maxLimbs] = {};  // zeroed for the compiler only
    fixedWindow(
        exponent, [&](Limb window) { selectEntry(accumulator, table, window, n); },
        [&] { montgomeryMultiply(accumulator, accumulator, accumulator, m, inverse, n); },
        [&](Limb window) {
            selectEntry(entry, table, window, n);
            montgomeryMultiply(accumulator, accumulator, entry, m, inverse, n);
        });
    Natural result;
    montgomeryMultiply(result.limbs.data(), accumulator, one, m, inverse, n);
    result.size = n;
    trim(result);
    return result;
}

// ---- plain modular arithmetic, for even moduli ------------------------------------------

Natural multiplyMod(const Natural& a, const Natural& b, const Natural& m) {
    Limb product[2 * maxLimbs] = {};
    for (int i = 0; i < a.size; ++i) {
        Wide carry = 0;
        for (int j = 0; j < b.size; ++j) {
            const Wide s = Wide{a.limbs[i]} * b.limbs[j] + product[i + j] + carry;
            product[i + j] = static_cast<Limb>(s);
            carry = s >> 32;
        }
        product[i + b.size] = static_cast<Limb>(carry);
    }
    int size = a.size + b.size;
    while (size > 0 && product[size - 1] == 0) --size;
    Natural r;
    if (size < m.size) {
        std::copy(product, product + size, r.limbs.begin());
        r.size = size;
    } else if (m.size == 1) {
        Wide remainder = 0;
        for (int i = size - 1; i >= 0; --i) remainder = (remainder << 32 | product[i]) % m.limbs[0];
        r.limbs[0] = static_cast<Limb>(remainder);
        r.size = 1;
    } else {
        remainderLong(product, size, m.limbs.data(), m.size, r.limbs.data());
        r.size = m.size;
    }
    trim(r);
    return r;
}

Natural powerPlain(const Natural& base, const Natural& exponent, const Natural& modulus) {
    Natural power;  // b^k mod m, k counting up
    power.limbs[0] = 1;
    power.size = 1;
    power = multiplyMod(power, power, modulus);  // 1 mod m: 0 for m = 1
    Limb table[windowEntries][maxLimbs];
    const auto keep = [&](int k) { std::copy(power.limbs.begin(), power.limbs.end(), table[k]); };
    keep(0);
    for (int k = 1; k < windowEntries; ++k) {
        power = multiplyMod(power, base, modulus);
        keep(k);
    }
    Natural accumulator, entry;
    const auto select = [&](Natural& into, Limb window) {
        selectEntry(into.limbs.data(), table, window, maxLimbs);
        into.size = maxLimbs;
        trim(into);
    };
    fixedWindow(
        exponent, [&](Limb window) { select(accumulator, window); },
        [&] { accumulator = multiplyMod(accumulator, accumulator, modulus); },
        [&](Limb window) {
            select(entry, window);
            accumulator = multiplyMod(accumulator, entry, modulus);
        });
    return accumulator;
}

// ---- four at a time: AVX2, 28-bit limbs in 64-bit lanes ------------------------------------

constexpr int radixBits = 28;
constexpr Limb radixMask = (Limb{1} << radixBits) - 1;
constexpr int maxBatchLimbs = 16;  // 16 * 28 = 448 >= 426 + 2

// Eight at a time (below): 52-bit limbs.
constexpr int wideRadixBits = 52;
constexpr std::uint64_t wideRadixMask = (std::uint64_t{1} << wideRadixBits) - 1;
constexpr int maxWideLimbs = 9;  // 9 * 52 = 468 >= 426 + 2
constexpr int wideLanes = 8;

// Digit j of x in radix 2^bits (bits <= 52), and back: digit added in at position j.
std::uint64_t radixDigit(const Natural& x, int bits, int j) {
    const int bit = bits * j, word = bit / 32, offset = bit % 32;
    const auto limb = [&](int i) { return i < maxLimbs ? std::uint64_t{x.limbs[i]} : 0; };
    std::uint64_t v = (limb(word) | limb(word + 1) << 32) >> offset;
    if (offset != 0) v |= limb(word + 2) << (64 - offset);
    return v & ((std::uint64_t{1} << bits) - 1);
}

[[maybe_unused]] void addRadixDigit(Natural& x, int bits, int j, std::uint64_t digit) {
    const int bit = bits * j, word = bit / 32, offset = bit % 32;
    const auto add = [&](int i, std::uint64_t part) {
        if (i < maxLimbs) x.limbs[i] |= static_cast<Limb>(part);
    };
    const std::uint64_t low = digit << offset;
    add(word, low);
    add(word + 1, low >> 32);
    if (offset + bits > 64) add(word + 2, digit >> (64 - offset));
}

Limb radixLimb(const Natural& x, int j) { return static_cast<Limb>(radixDigit(x, radixBits, j)); }

#ifdef TESSALY_RSA_AVX2

#define TESSALY_AVX2 __attribute__((target("avx2")))
constexpr int lanes = 4;

struct BatchVectors {
    int limbs;
    __m256i modulus[maxBatchLimbs];
    __m256i inverse, mask;
};

// r = a * b / R mod m, below 2m, for a and b below 2m; all limbs normalised to 28 bits. The
// column sums stay below 2L * 2^56 <= 2^61, so carries wait until the end. r may be a or b.
TESSALY_AVX2 void montgomeryMultiplyBatch(__m256i* r, const __m256i* a, const __m256i* b,
                                          const BatchVectors& k) {
    const int n = k.limbs;
    __m256i t[2 * maxBatchLimbs];
    for (int i = 0; i < 2 * n; ++i) t[i] = _mm256_setzero_si256();
    for (int i = 0; i < n; ++i) {
        const __m256i bi = b[i];
        for (int j = 0; j < n; ++j) t[i + j] = _mm256_add_epi64(t[i + j], _mm256_mul_epu32(a[j], bi));
        const __m256i u = _mm256_and_si256(_mm256_mul_epu32(t[i], k.inverse), k.mask);
        for (int j = 0; j < n; ++j) t[i + j] = _mm256_add_epi64(t[i + j], _mm256_mul_epu32(k.modulus[j], u));
        t[i + 1] = _mm256_add_epi64(t[i + 1], _mm256_srli_epi64(t[i], radixBits));  // t[i] is 0 mod 2^28
    }
    __m256i carry = _mm256_setzero_si256();
    for (int j = 0; j < n; ++j) {
        const __m256i v = _mm256_add_epi64(t[n + j], carry);
        r[j] = _mm256_and_si256(v, k.mask);
        carry = _mm256_srli_epi64(v, radixBits);
    }
}

TESSALY_AVX2 __m256i broadcast(Limb value) { return _mm256_set1_epi64x(static_cast<long long>(value)); }

// out = table[index] (n limbs of four lanes), reading every entry alike.
TESSALY_AVX2 void selectBatchEntry(__m256i* out, const __m256i (&table)[windowEntries][maxBatchLimbs], Limb index,
                                   int n) {
    const __m256i wanted = broadcast(index);
    for (int j = 0; j < n; ++j) out[j] = _mm256_setzero_si256();
    for (Limb e = 0; e < windowEntries; ++e) {
        const __m256i mask = _mm256_cmpeq_epi64(broadcast(e), wanted);
        for (int j = 0; j < n; ++j) out[j] = _mm256_or_si256(out[j], _mm256_and_si256(table[e][j], mask));
    }
}

// results[0..3] = bases[0..3]^exponent mod modulus.
TESSALY_AVX2 void powerBatch(const BatchKey& key, const Natural& exponent, const Natural& modulus,
                             const Natural* bases, Natural* results) {
    BatchVectors k;
    k.limbs = key.limbs;
    for (int j = 0; j < key.limbs; ++j) k.modulus[j] = broadcast(key.modulus[j]);
    k.inverse = broadcast(key.inverse);
    k.mask = broadcast(radixMask);
    const int n = key.limbs;

    __m256i base[maxBatchLimbs], rSquared[maxBatchLimbs];
    for (int j = 0; j < n; ++j) {
        base[j] = _mm256_set_epi64x(radixLimb(bases[3], j), radixLimb(bases[2], j), radixLimb(bases[1], j),
                                    radixLimb(bases[0], j));
        rSquared[j] = broadcast(key.rSquared[j]);
    }
    __m256i one[maxBatchLimbs];
    for (int j = 0; j < n; ++j) one[j] = _mm256_setzero_si256();
    one[0] = broadcast(1);
    __m256i table[windowEntries][maxBatchLimbs];  // b^0 ... b^15 in Montgomery form
    montgomeryMultiplyBatch(table[0], one, rSquared, k);
    montgomeryMultiplyBatch(table[1], base, rSquared, k);
    for (int i = 2; i < windowEntries; ++i) montgomeryMultiplyBatch(table[i], table[i - 1], table[1], k);

    __m256i accumulator[maxBatchLimbs], entry[maxBatchLimbs];
    fixedWindow(
        exponent, [&](Limb window) { selectBatchEntry(accumulator, table, window, n); },
        [&] { montgomeryMultiplyBatch(accumulator, accumulator, accumulator, k); },
        [&](Limb window) {
            selectBatchEntry(entry, table, window, n);
            montgomeryMultiplyBatch(accumulator, accumulator, entry, k);
        });
    montgomeryMultiplyBatch(accumulator, accumulator, one, k);

    alignas(32) std::uint64_t limbs[maxBatchLimbs][lanes];
    for (int j = 0; j < n; ++j) _mm256_store_si256(reinterpret_cast<__m256i*>(limbs[j]), accumulator[j]);
    _mm256_zeroupper();  // later SSE code must not pay for dirty upper halves

    for (int lane = 0; lane < lanes; ++lane) {
        Natural& x = results[lane];
        x = Natural{};
        for (int j = 0; j < n; ++j) addRadixDigit(x, radixBits, j, limbs[j][lane]);
        subtractIfNotBelow(x.limbs.data(), modulus.limbs.data(), maxLimbs, 0);  // the result is below 2m
        x.size = maxLimbs;
        trim(x);
    }
}

// ---- eight at a time: AVX-512 IFMA, 52-bit limbs in 64-bit lanes ---------------------------

#define TESSALY_IFMA __attribute__((target("avx512f,avx512ifma,avx2")))

struct WideVectors {
    int limbs;
    __m512i modulus[maxWideLimbs];
    __m512i inverse, mask;
};

// x >> 52 per lane. (The zero-masked form: GCC 12's plain one starts from an undefined
// vector and warns about it.)
TESSALY_IFMA inline __m512i shiftOutLimb(__m512i x) {
    return _mm512_maskz_srli_epi64(static_cast<__mmask8>(0xFF), x, wideRadixBits);
}

// r = a * b / R mod m, below 2m, for a and b below 2m with 52-bit limbs. The instructions
// take the low 52 bits of each operand and add the low or high 52 bits of the product; a
// column receives at most 4L such halves, below 2^58, so carries wait until the end.
// N is the limb count, so that the columns live in registers.
template <int N>
TESSALY_IFMA void montgomeryMultiplyWide(__m512i* r, const __m512i* a, const __m512i* b, const WideVectors& k) {
    constexpr int n = N;
    const __m512i zero = _mm512_setzero_si512();
    __m512i t[2 * maxWideLimbs + 1];
    for (int i = 0; i <= 2 * n; ++i) t[i] = zero;
    for (int i = 0; i < n; ++i) {
        const __m512i bi = b[i];
        for (int j = 0; j < n; ++j) {
            t[i + j] = _mm512_madd52lo_epu64(t[i + j], a[j], bi);
            t[i + j + 1] = _mm512_madd52hi_epu64(t[i + j + 1], a[j], bi);
        }
        const __m512i u = _mm512_madd52lo_epu64(zero, t[i], k.inverse);
        for (int j = 0; j < n; ++j) {
            t[i + j] = _mm512_madd52lo_epu64(t[i + j], k.modulus[j], u);
            t[i + j + 1] = _mm512_madd52hi_epu64(t[i + j + 1], k.modulus[j], u);
        }
        t[i + 1] = _mm512_add_epi64(t[i + 1], shiftOutLimb(t[i]));  // t[i] is 0 mod 2^52
    }
    __m512i carry = zero;
    for (int j = 0; j < n; ++j) {
        const __m512i v = _mm512_add_epi64(t[n + j], carry);
        r[j] = _mm512_and_si512(v, k.mask);
        carry = shiftOutLimb(v);
    }
}

using WideMultiply = void (*)(__m512i*, const __m512i*, const __m512i*, const WideVectors&);

// wideMultiply[L - 1] multiplies numbers of L limbs.
constexpr WideMultiply wideMultiply[] = {montgomeryMultiplyWide<1>, montgomeryMultiplyWide<2>, montgomeryMultiplyWide<3>,
                                         montgomeryMultiplyWide<4>, montgomeryMultiplyWide<5>, montgomeryMultiplyWide<6>,
                                         montgomeryMultiplyWide<7>, montgomeryMultiplyWide<8>, montgomeryMultiplyWide<9>};
static_assert(std::size(wideMultiply) == maxWideLimbs);

TESSALY_IFMA __m512i broadcastWide(std::uint64_t value) { return _mm512_set1_epi64(static_cast<long long>(value)); }

// out = table[index] (n limbs of eight lanes), reading every entry alike.
TESSALY_IFMA void selectWideEntry(__m512i* out, const __m512i (&table)[windowEntries][maxWideLimbs], Limb index,
                                  int n) {
    const __m512i wanted = broadcastWide(index);
    for (int j = 0; j < n; ++j) out[j] = _mm512_setzero_si512();
    for (Limb e = 0; e < windowEntries; ++e) {
        const __mmask8 mask = _mm512_cmpeq_epi64_mask(broadcastWide(e), wanted);
        for (int j = 0; j < n; ++j) out[j] = _mm512_mask_mov_epi64(out[j], mask, table[e][j]);
    }
}

// results[0..7] = bases[0..7]^exponent mod modulus.
TESSALY_IFMA void powerWide(const WideBatchKey& key, const Natural& exponent, const Natural& modulus,
                            const Natural* bases, Natural* results) {
    WideVectors k;
    k.limbs = key.limbs;
    for (int j = 0; j < key.limbs; ++j) k.modulus[j] = broadcastWide(key.modulus[j]);
    k.inverse = broadcastWide(key.inverse);
    k.mask = broadcastWide(wideRadixMask);
    const int n = key.limbs;
    const WideMultiply montgomeryMultiplyWide = wideMultiply[n - 1];

    __m512i base[maxWideLimbs], rSquared[maxWideLimbs], one[maxWideLimbs];
    for (int j = 0; j < n; ++j) {
        alignas(64) std::uint64_t digits[wideLanes];
        for (int lane = 0; lane < wideLanes; ++lane) digits[lane] = radixDigit(bases[lane], wideRadixBits, j);
        base[j] = _mm512_load_si512(digits);
        rSquared[j] = broadcastWide(key.rSquared[j]);
        one[j] = _mm512_setzero_si512();
    }
    one[0] = broadcastWide(1);
    __m512i table[windowEntries][maxWideLimbs];  // b^0 ... b^15 in Montgomery form
    montgomeryMultiplyWide(table[0], one, rSquared, k);
    montgomeryMultiplyWide(table[1], base, rSquared, k);
    for (int i = 2; i < windowEntries; ++i) montgomeryMultiplyWide(table[i], table[i - 1], table[1], k);

    __m512i accumulator[maxWideLimbs], entry[maxWideLimbs];
    fixedWindow(
        exponent, [&](Limb window) { selectWideEntry(accumulator, table, window, n); },
        [&] { montgomeryMultiplyWide(accumulator, accumulator, accumulator, k); },
        [&](Limb window) {
            selectWideEntry(entry, table, window, n);
            montgomeryMultiplyWide(accumulator, accumulator, entry, k);
        });
    montgomeryMultiplyWide(accumulator, accumulator, one, k);

    alignas(64) std::uint64_t limbs[maxWideLimbs][wideLanes];
    for (int j = 0; j < n; ++j) _mm512_store_si512(limbs[j], accumulator[j]);
    _mm256_zeroupper();

    for (int lane = 0; lane < wideLanes; ++lane) {
        Natural& x = results[lane];
        x = Natural{};
        for (int j = 0; j < n; ++j) addRadixDigit(x, wideRadixBits, j, limbs[j][lane]);
        subtractIfNotBelow(x.limbs.data(), modulus.limbs.data(), maxLimbs, 0);  // the result is below 2m
        x.size = maxLimbs;
        trim(x);
    }
}

#endif  // TESSALY_RSA_AVX2

// Whether odd moduli go to the four- and eight-at-a-time engines on this processor.
bool fourAtATime() {
#ifdef TESSALY_RSA_AVX2
    return cpu::features().avx2;
#else
    return false;
#endif
}

bool eightAtATime() {
#ifdef TESSALY_RSA_AVX2
    return cpu::features().avx2 && cpu::features().avx512ifma;
#else
    return false;
#endif
}

}  // namespace

bool parse(std::string_view text, Natural& value) {
    value = Natural{};
    std::size_t first = 0;
    while (first < text.size() && text[first] == '0') ++first;
    const std::string_view digits = text.substr(first);
    if (digits.size() > static_cast<std::size_t>(maxDigits)) return false;
    for (char c : digits)
        if (c < '0' || c > '9') return false;
    // Nine digits at a time; the first chunk takes the odd ones out.
    std::size_t at = 0, chunk = digits.size() % 9 == 0 ? 9 : digits.size() % 9;
    for (; at < digits.size(); at += chunk, chunk = 9) {
        Limb part = 0, scale = 1;
        for (std::size_t k = 0; k < chunk; ++k) {
            part = part * 10 + static_cast<Limb>(digits[at + k] - '0');
            scale *= 10;
        }
        multiplyAdd(value, scale, part);
    }
    trim(value);
    return true;
}

std::size_t format(const Natural& value, char* out) {
    if (value.size == 0) {
        out[0] = '0';
        return 1;
    }
    Natural rest = value;
    Limb chunks[16];
    int count = 0;
    while (rest.size > 0) chunks[count++] = divideSmall(rest, billion);
    char* p = out;
    for (int i = count - 1; i >= 0; --i) {
        char digits[9];
        Limb chunk = chunks[i];
        for (int k = 8; k >= 0; --k, chunk /= 10) digits[k] = static_cast<char>('0' + chunk % 10);
        int start = 0;
        if (i == count - 1)
            while (start < 8 && digits[start] == '0') ++start;  // no leading zeros
        for (int k = start; k < 9; ++k) *p++ = digits[k];
    }
    return static_cast<std::size_t>(p - out);
}

int compare(const Natural& a, const Natural& b) {
    if (a.size != b.size) return a.size < b.size ? -1 : 1;
    for (int i = a.size - 1; i >= 0; --i)
        if (a.limbs[i] != b.limbs[i]) return a.limbs[i] < b.limbs[i] ? -1 : 1;
    return 0;
}

ModularPower::ModularPower(const Natural& exponent, const Natural& modulus)
    : exponent_(exponent), modulus_(modulus), montgomery_(modulus.limbs[0] & 1) {
    if (!montgomery_) return;
    inverse_ = negatedInverse(modulus.limbs[0]);
    rSquared_ = powerOfTwoModulo(64 * modulus.size, modulus);
    if (fourAtATime()) batch_.emplace(modulus);
    if (eightAtATime()) wideBatch_.emplace(modulus);
}

WideBatchKey::WideBatchKey(const Natural& m) : modulus{}, rSquared{} {
    const int bits = 32 * m.size - std::countl_zero(m.limbs[m.size - 1]);
    limbs = (bits + 2 + wideRadixBits - 1) / wideRadixBits;
    for (int j = 0; j < limbs; ++j) modulus[j] = radixDigit(m, wideRadixBits, j);
    // -m^-1 mod 2^64 by Newton's iteration from 3 correct bits, then its low 52 bits.
    const std::uint64_t m0 = std::uint64_t{m.limbs[0]} | std::uint64_t{m.limbs[1]} << 32;
    std::uint64_t x = m0;
    for (int i = 0; i < 5; ++i) x *= 2 - m0 * x;
    inverse = (0 - x) & wideRadixMask;
    const Natural r2 = powerOfTwoModulo(2 * wideRadixBits * limbs, m);
    for (int j = 0; j < limbs; ++j) rSquared[j] = radixDigit(r2, wideRadixBits, j);
}

BatchKey::BatchKey(const Natural& m) : modulus{}, rSquared{} {
    const int bits = 32 * m.size - std::countl_zero(m.limbs[m.size - 1]);
    limbs = (bits + 2 + radixBits - 1) / radixBits;
    for (int j = 0; j < limbs; ++j) modulus[j] = radixLimb(m, j);
    inverse = negatedInverse(m.limbs[0]) & radixMask;  // its low 28 bits serve mod 2^28
    const Natural r2 = powerOfTwoModulo(2 * radixBits * limbs, m);
    for (int j = 0; j < limbs; ++j) rSquared[j] = radixLimb(r2, j);
}

void ModularPower::powerMany(const Natural* bases, Natural* results, std::size_t count) const {
    std::size_t i = 0;
#ifdef TESSALY_RSA_AVX2
    if (wideBatch_)
        for (; i + wideLanes <= count; i += wideLanes) powerWide(*wideBatch_, exponent_, modulus_, bases + i, results + i);
    if (batch_) {
        for (; i + lanes <= count; i += lanes) powerBatch(*batch_, exponent_, modulus_, bases + i, results + i);
        if (count - i > 1) {
            Natural paddedBases[lanes] = {}, paddedResults[lanes];
            std::copy(bases + i, bases + count, paddedBases);
            powerBatch(*batch_, exponent_, modulus_, paddedBases, paddedResults);
            std::copy(paddedResults, paddedResults + (count - i), results + i);
            return;
        }
    }
#endif
    for (; i < count; ++i) results[i] = power(bases[i]);
}

Natural ModularPower::power(const Natural& base) const {
    if (montgomery_)
        return powerMontgomery(base, exponent_, modulus_, rSquared_, inverse_);
    return powerPlain(base, exponent_, modulus_);
}

const char* powerPathName() { return eightAtATime() ? "avx512ifma" : fourAtATime() ? "avx2" : "portable"; }

NumberOperation::NumberOperation(const char* exponentText, const char* modulusText)
    : keysWellFormed_(parse(exponentText ? exponentText : "", exponent_) &&
                      parse(modulusText ? modulusText : "", modulus_)) {
    if (keysWellFormed_ && exponent_.size > 0 && modulus_.size > 0) power_.emplace(exponent_, modulus_);
}

Status NumberOperation::check(const Natural& number) const {
    if (!keysWellFormed_) return Status::malformedText;
    if (compare(number, modulus_) >= 0) return Status::notBelowModulus;  // always for modulus 0
    if (exponent_.size == 0) return Status::zeroExponent;
    return Status::success;
}

Status NumberOperation::check(std::string_view text, Natural& number) const {
    if (!keysWellFormed_ || !parse(text, number)) return Status::malformedText;
    return check(number);
}

void NumberOperation::runMany(const Natural* numbers, Natural* results, std::size_t count) const {
    if (count > 0) power_->powerMany(numbers, results, count);
}

}  // namespace tessaly::rsa
