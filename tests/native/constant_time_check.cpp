// Whether a secret steers a branch or an address, seen by valgrind's memcheck: the secret's
// bytes are marked undefined before the engine runs, so every conditional jump, move of the
// program counter or memory address computed from them is reported as an error. The outputs
// are marked defined again before they are compared with a run on the same secret left
// defined. A constant-time path adds no error; the DES table path must add some, or this check
// would prove nothing. Run under valgrind: valgrind --error-exitcode=0 constant_time_check
#include <valgrind/memcheck.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "crypto/aes.h"
#include "crypto/des.h"
#include "crypto/rsa.h"

namespace {

using namespace tessaly;

template <typename T>
void markSecret(T& object) {
    VALGRIND_MAKE_MEM_UNDEFINED(&object, sizeof object);
}

template <typename T>
void markPublic(T& object) {
    VALGRIND_MAKE_MEM_DEFINED(&object, sizeof object);
}

struct Check {
    std::string what;
    bool constantTime;  // false: the path is known to use tables indexed by the key
    // Runs the path, with the secret undefined when asked to; returns the outputs as text.
    std::function<std::string(bool secret)> run;
};

std::string text(const rsa::Natural* values, std::size_t count) {
    std::string all;
    for (std::size_t i = 0; i < count; ++i) {
        char digits[130];
        all.append(digits, rsa::format(values[i], digits)).push_back(' ');
    }
    return all;
}

// A 64-digit modulus of two primes and an exponent for it, as DoRSA takes them.
rsa::Natural number(const char* digits) {
    rsa::Natural value;
    rsa::parse(digits, value);
    return value;
}

std::string runRsa(bool secret, std::size_t count, bool manyAtOnce) {
    rsa::Natural exponent = number("2215218866144026443013552668413384877348687153612609864864062661");
    const rsa::Natural modulus = number("2868772976743725084296716903235988742042360575363996802666569001");
    // The limbs are the secret; how many there are is not.
    if (secret) VALGRIND_MAKE_MEM_UNDEFINED(exponent.limbs.data(), sizeof exponent.limbs);
    const rsa::ModularPower power(exponent, modulus);
    std::vector<rsa::Natural> bases(count), results(count);
    for (std::size_t i = 0; i < count; ++i) bases[i] = number(std::to_string(987654321987ull * (i + 3)).c_str());
    if (manyAtOnce) {
        power.powerMany(bases.data(), results.data(), count);
    } else {
        for (std::size_t i = 0; i < count; ++i) results[i] = power.power(bases[i]);
    }
    for (auto& result : results) markPublic(result);
    return text(results.data(), count);
}

// Key schedule and both directions on one path, with a count of blocks that leaves a partial
// batch; the key is the secret.
std::string runAes(const aes::Path& path, std::size_t keySize, bool secret) {
    std::vector<std::uint8_t> key(keySize);
    for (std::size_t i = 0; i < keySize; ++i) key[i] = static_cast<std::uint8_t>(0x2B + 37 * i);
    if (secret) VALGRIND_MAKE_MEM_UNDEFINED(key.data(), key.size());
    aes::AesEngine engine;
    path.setKey(engine, key, Direction::decipher);
    std::array<std::uint8_t, 16 * 11> blocks{};
    for (std::size_t i = 0; i < blocks.size(); ++i) blocks[i] = static_cast<std::uint8_t>(i);
    path.cryptBlocks(engine, blocks.data(), blocks.size() / 16, Direction::encipher);
    markPublic(blocks);
    std::string all(blocks.begin(), blocks.end());
    path.cryptBlocks(engine, blocks.data(), blocks.size() / 16, Direction::decipher);
    markPublic(blocks);
    return all.append(blocks.begin(), blocks.end());
}

std::string runDes(bool secret) {
    std::array<std::uint8_t, 8> key = {0x13, 0x34, 0x57, 0x79, 0x9B, 0xBC, 0xDF, 0xF1};
    if (secret) markSecret(key);
    des::DesEngine engine;
    engine.setKey(key);
    std::array<std::uint8_t, 64> blocks{};
    engine.cryptBlocks(blocks.data(), blocks.size() / des::blockSize, Direction::encipher);
    markPublic(blocks);
    return std::string(blocks.begin(), blocks.end());
}

}  // namespace

int main() {
    if (!RUNNING_ON_VALGRIND) {
        std::fprintf(stderr, "constant_time_check: run it under valgrind's memcheck\n");
        return 2;
    }
    std::vector<Check> checks;
    for (const auto& path : aes::availablePaths())
        for (const std::size_t keySize : {16u, 24u, 32u})
            checks.push_back({"AES-" + std::to_string(8 * keySize) + " set-up and blocks, " + path.name, true,
                              [&path, keySize](bool secret) { return runAes(path, keySize, secret); }});
    const Check others[] = {
        {"DoRSA exponentiation, one group at a time", true, [](bool secret) { return runRsa(secret, 2, false); }},
        {"DoRSA exponentiation, groups together", true, [](bool secret) { return runRsa(secret, 9, true); }},
        {"DES key schedule and table rounds", false, runDes},
    };
    checks.insert(checks.end(), std::begin(others), std::end(others));
    int failures = 0;
    for (const Check& check : checks) {
        const std::string expected = check.run(false);
        const unsigned before = VALGRIND_COUNT_ERRORS;
        const std::string got = check.run(true);
        const unsigned reported = VALGRIND_COUNT_ERRORS - before;
        const bool sameBytes = got == expected;
        const bool passed = sameBytes && (check.constantTime ? reported == 0 : reported > 0);
        std::printf("%-45s %4u reports  %s%s\n", check.what.c_str(), reported,
                    check.constantTime ? "(constant time: none allowed)" : "(table path: must report)",
                    passed ? "" : sameBytes ? "  FAILED" : "  FAILED: different bytes");
        failures += passed ? 0 : 1;
    }
    return failures == 0 ? 0 : 1;
}
