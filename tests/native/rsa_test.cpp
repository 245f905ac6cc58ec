// The decimal arithmetic's edge cases, and DoRSA against GMP: random keys of 1 to 128 digits
// in both directions, the decimal reference against the binary engine, and a real key pair.
#include <gmp.h>
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "crypto/bignum.h"
#include "crypto/rsa.h"
#include "tessaly.h"

namespace tessaly {
namespace {

using bignum::DecimalNumber;

DecimalNumber decimal(const std::string& digits) {
    DecimalNumber a{};
    for (std::size_t i = 0; i < digits.size(); ++i) a[128 - digits.size() + i] = static_cast<std::uint8_t>(digits[i] - '0');
    return a;
}

std::string text(const DecimalNumber& a) {
    std::string s;
    for (auto d : a) s += static_cast<char>('0' + d);
    const auto first = s.find_first_not_of('0');
    return first == std::string::npos ? "0" : s.substr(first);
}

std::string power10(int k) { return "1" + std::string(k, '0'); }

// GMP's decimal text of x, its buffer given back to GMP.
std::string gmpText(const mpz_t x) {
    char* digits = mpz_get_str(nullptr, 10, x);
    std::string result(digits);
    void (*release)(void*, std::size_t) = nullptr;
    mp_get_memory_functions(nullptr, nullptr, &release);
    release(digits, result.size() + 1);
    return result;
}

TEST(DecimalArithmetic, CompareAndDigitCount) {
    EXPECT_EQ(bignum::compare(decimal(power10(50)), decimal(power10(49))), 1);
    EXPECT_EQ(bignum::compare(decimal("123"), decimal("123")), 0);
    EXPECT_EQ(bignum::compare(decimal("0"), decimal("1")), -1);
    EXPECT_EQ(bignum::significantDigits(decimal("0")), 0);
    EXPECT_EQ(bignum::significantDigits(decimal("5")), 1);
    EXPECT_EQ(bignum::significantDigits(decimal(power10(127))), 128);
}

TEST(DecimalArithmetic, SubtractMultiplyDivide) {
    DecimalNumber r{}, q{};
    bignum::subtract(decimal(power10(127)), decimal("1"), r);
    EXPECT_EQ(text(r), std::string(127, '9'));
    bignum::subtract(decimal("5"), decimal("5"), r);
    EXPECT_EQ(text(r), "0");
    bignum::multiply(decimal("0"), decimal("987"), r);
    EXPECT_EQ(text(r), "0");
    bignum::multiply(decimal("987"), decimal("0"), r);
    EXPECT_EQ(text(r), "0");
    const std::string nines(64, '9');
    bignum::multiply(decimal(nines), decimal(nines), r);
    EXPECT_EQ(text(r), std::string(63, '9') + "8" + std::string(63, '0') + "1");
    const std::tuple<const char*, const char*, const char*, const char*> divisions[] = {
        {"7", "100", "0", "7"}, {"7", "7", "1", "0"}, {"14", "7", "2", "0"}, {"1000", "7", "142", "6"}};
    for (const auto& [a, d, quotient, remainder] : divisions) {
        bignum::divide(decimal(a), decimal(d), r, q);
        EXPECT_EQ(text(q), quotient) << a << " / " << d;
        EXPECT_EQ(text(r), remainder) << a << " % " << d;
    }
}

TEST(DecimalArithmetic, LongDivisionAgreesWithGmp) {
    std::mt19937 rng(1);
    mpz_t a, d, q, r;
    mpz_inits(a, d, q, r, nullptr);
    for (int round = 0; round < 50; ++round) {
        std::string as(120, '0'), ds(50, '0');
        for (auto& c : as) c = static_cast<char>('0' + rng() % 10);
        for (auto& c : ds) c = static_cast<char>('0' + rng() % 10);
        as[0] = '1' + rng() % 9;
        ds[0] = '1' + rng() % 9;
        DecimalNumber quotient{}, remainder{};
        bignum::divide(decimal(as), decimal(ds), remainder, quotient);
        mpz_set_str(a, as.c_str(), 10);
        mpz_set_str(d, ds.c_str(), 10);
        mpz_tdiv_qr(q, r, a, d);
        EXPECT_EQ(text(quotient), gmpText(q));
        EXPECT_EQ(text(remainder), gmpText(r));
    }
    mpz_clears(a, d, q, r, nullptr);
}

TEST(DecimalArithmetic, BinaryExpansionAndModularPower) {
    bignum::ExponentBits bits{};
    bignum::binaryExpansion(decimal("1"), bits);
    EXPECT_EQ(bits[511], 1);
    EXPECT_EQ(bits[510], bignum::endMarker);
    bignum::binaryExpansion(decimal("65537"), bits);
    EXPECT_EQ(bits[494], bignum::endMarker);
    EXPECT_EQ(bits[495], 1);
    EXPECT_EQ(bits[511], 1);
    const std::tuple<const char*, const char*, const char*, const char*> powers[] = {
        {"65", "17", "3233", "2790"}, {"2790", "2753", "3233", "65"}, {"3232", "2", "3233", "1"}};
    for (const auto& [base, exponent, modulus, result] : powers) {
        DecimalNumber r{};
        bignum::binaryExpansion(decimal(exponent), bits);
        bignum::modularPower(decimal(base), decimal(modulus), r, bits);
        EXPECT_EQ(text(r), result);
    }
}

// ---- DoRSA against GMP ----

std::string randomDigits(std::mt19937& rng, int count) {
    std::string s(count, '0');
    for (auto& c : s) c = static_cast<char>('0' + rng() % 10);
    if (count > 0 && s[0] == '0') s[0] = '1';
    return s;
}

struct Gmp {
    mpz_t base, exponent, modulus, result;
    Gmp() { mpz_inits(base, exponent, modulus, result, nullptr); }
    ~Gmp() { mpz_clears(base, exponent, modulus, result, nullptr); }
    std::string power(const std::string& x) {
        mpz_set_str(base, x.c_str(), 10);
        mpz_powm(result, base, exponent, modulus);
        return gmpText(result);
    }
    // A random key, also set here: a modulus of 1 + round % 128 digits, an exponent of 1 to 128.
    std::pair<std::string, std::string> randomKey(std::mt19937& rng, int round) {
        std::string m = randomDigits(rng, 1 + round % 128), e = randomDigits(rng, 1 + rng() % 128);
        mpz_set_str(modulus, m.c_str(), 10);
        mpz_set_str(exponent, e.c_str(), 10);
        return {m, e};
    }
};

TEST(DoRSA, BytesToLineAgreesWithGmpForKeysOfEverySize) {
    std::mt19937 rng(2);
    Gmp gmp;
    for (int round = 0; round < 400; ++round) {
        const auto [modulus, exponent] = gmp.randomKey(rng, round);
        std::vector<std::uint8_t> data(1 + rng() % 12);
        for (auto& b : data) b = static_cast<std::uint8_t>(modulus.size() < 10 ? rng() % 2 : rng());
        std::string expected;
        bool tooLarge = false;
        for (std::size_t g = 0; g < data.size(); g += 4) {
            std::uint32_t value = 0;
            for (std::size_t k = 0; k < 4; ++k) value = value << 8 | (g + k < data.size() ? data[g + k] : 0);
            if (mpz_cmp_ui(gmp.modulus, value) <= 0) tooLarge = true;
            if (g) expected += ' ';
            expected += gmp.power(std::to_string(value));
        }
        std::vector<std::uint8_t> output(data.size() / 4 * 130 + 140, 0xA5);
        std::int32_t length = -7;
        const std::int32_t code = DoRSA(data.data(), static_cast<std::int32_t>(data.size()), output.data(), &length,
                                        exponent.c_str(), modulus.c_str(), 0);
        if (tooLarge) {
            EXPECT_EQ(code, 3);
            EXPECT_EQ(length, -7);
            continue;
        }
        ASSERT_EQ(code, 0) << modulus << " " << exponent;
        EXPECT_EQ(std::string(reinterpret_cast<char*>(output.data()), length), expected) << "modulus " << modulus;
        EXPECT_EQ(output[length], 0);
    }
}

TEST(DoRSA, LineToBytesAgreesWithGmpForKeysOfEverySize) {
    std::mt19937 rng(3);
    Gmp gmp;
    for (int round = 0; round < 400; ++round) {
        const auto [modulus, exponent] = gmp.randomKey(rng, round);
        std::string line;
        std::vector<std::uint8_t> expected;
        for (int token = 0; token < 3; ++token) {
            std::string x = randomDigits(rng, 1 + rng() % static_cast<int>(modulus.size()));
            mpz_set_str(gmp.base, x.c_str(), 10);
            mpz_mod(gmp.base, gmp.base, gmp.modulus);  // keep it below the modulus
            x = gmpText(gmp.base);
            if (token) line += ' ';
            line.append(rng() % 3, '0');
            line += x;
            mpz_powm(gmp.result, gmp.base, gmp.exponent, gmp.modulus);
            const std::uint32_t low = static_cast<std::uint32_t>(mpz_get_ui(gmp.result));  // low 32 bits
            for (int k = 3; k >= 0; --k) expected.push_back(static_cast<std::uint8_t>(low >> (8 * k)));
        }
        std::vector<std::uint8_t> output(13, 0xA5);
        std::int32_t length = -7;
        ASSERT_EQ(DoRSA(reinterpret_cast<const std::uint8_t*>(line.data()), static_cast<std::int32_t>(line.size()),
                        output.data(), &length, exponent.c_str(), modulus.c_str(), 1),
                  0);
        EXPECT_EQ(length, 12);
        EXPECT_EQ(std::vector(output.begin(), output.begin() + 12), expected) << "modulus " << modulus;
        EXPECT_EQ(output[12], 0);
    }
}

TEST(DoRSA, BinaryEngineMatchesTheDecimalReference) {
    std::mt19937 rng(4);
    for (int round = 0; round < 60; ++round) {
        const std::string modulus = randomDigits(rng, 1 + rng() % 64);
        const std::string exponent = randomDigits(rng, 1 + rng() % 40);
        rsa::Natural e, m, x;
        ASSERT_TRUE(rsa::parse(exponent, e));
        ASSERT_TRUE(rsa::parse(modulus, m));
        const std::string base = randomDigits(rng, 1 + rng() % static_cast<int>(modulus.size()));
        DecimalNumber b{}, q{}, r{};
        bignum::divide(decimal(base), decimal(modulus), b, q);  // below the modulus
        ASSERT_TRUE(rsa::parse(text(b), x));
        bignum::ExponentBits bits{};
        bignum::binaryExpansion(decimal(exponent), bits);
        bignum::modularPower(b, decimal(modulus), r, bits);
        char out[130];
        const rsa::ModularPower power(e, m);
        EXPECT_EQ(std::string(out, rsa::format(power.power(x), out)), text(r)) << base << "^" << exponent << " mod " << modulus;
    }
}

TEST(DoRSA, BatchesMatchOneAtATime) {
    std::mt19937 rng(5);
    int batched = 0;
    for (int round = 0; round < 300; ++round) {
        std::string modulus = randomDigits(rng, 1 + round % 128);
        modulus.back() = "13579"[rng() % 5];  // the batch engine takes odd moduli
        rsa::Natural e, m;
        ASSERT_TRUE(rsa::parse(randomDigits(rng, 1 + rng() % 128), e));
        ASSERT_TRUE(rsa::parse(modulus, m));
        const rsa::ModularPower power(e, m);
        batched += power.batched();
        std::vector<rsa::Natural> bases(1 + rng() % 20), results(bases.size());
        for (auto& base : bases) {
            mpz_t x;
            mpz_init_set_str(x, randomDigits(rng, 1 + rng() % 130).c_str(), 10);
            mpz_t mm;
            mpz_init_set_str(mm, modulus.c_str(), 10);
            mpz_mod(x, x, mm);
            ASSERT_TRUE(rsa::parse(gmpText(x), base));
            mpz_clears(x, mm, nullptr);
        }
        power.powerMany(bases.data(), results.data(), bases.size());
        for (std::size_t i = 0; i < bases.size(); ++i) {
            char a[130], b[130];
            EXPECT_EQ(std::string(a, rsa::format(results[i], a)), std::string(b, rsa::format(power.power(bases[i]), b)))
                << "modulus " << modulus;
        }
    }
    if (batched == 0) GTEST_SKIP() << "no AVX2 here: only one at a time ran";
}

TEST(DoRSA, RoundTripWithARealKeyPair) {
    gmp_randstate_t state;
    gmp_randinit_default(state);
    gmp_randseed_ui(state, 60);
    mpz_t p, q, n, phi, e, d;
    mpz_inits(p, q, n, phi, e, d, nullptr);
    mpz_urandomb(p, state, 100);
    mpz_nextprime(p, p);
    mpz_urandomb(q, state, 100);
    mpz_nextprime(q, q);
    mpz_mul(n, p, q);  // about 60 digits
    mpz_sub_ui(p, p, 1);
    mpz_sub_ui(q, q, 1);
    mpz_mul(phi, p, q);
    mpz_set_ui(e, 65537);
    ASSERT_NE(mpz_invert(d, e, phi), 0);
    const std::string modulus = gmpText(n), publicExponent = "65537",
                      privateExponent = gmpText(d);
    mpz_clears(p, q, n, phi, e, d, nullptr);
    gmp_randclear(state);

    const std::string message = "A record of forty-one bytes, sealed: RSA!";
    std::vector<char> line(message.size() / 4 * 70 + 80);
    std::int32_t lineLength = 0;
    ASSERT_EQ(DoRSA(reinterpret_cast<const std::uint8_t*>(message.data()), static_cast<std::int32_t>(message.size()),
                    reinterpret_cast<std::uint8_t*>(line.data()), &lineLength, publicExponent.c_str(), modulus.c_str(), 0),
              0);
    std::vector<std::uint8_t> back(message.size() + 8);
    std::int32_t backLength = 0;
    ASSERT_EQ(DoRSA(reinterpret_cast<const std::uint8_t*>(line.data()), lineLength, back.data(), &backLength,
                    privateExponent.c_str(), modulus.c_str(), 1),
              0);
    EXPECT_EQ(backLength, 44);  // 11 groups of 4, the last completed with 3 zero bytes
    EXPECT_EQ(std::string(back.begin(), back.begin() + 41), message);
}

}  // namespace
}  // namespace tessaly
