// DoRSA in both directions against GMP and the rules of the number lines: the key texts and
// the data from the fuzzer, the texts and the data each exactly their size, the output
// exactly the room the rules promise and filled with a marker, so every byte written (or left
// alone on a failure) is checked, and outputLength too.
#include <gmp.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "tessaly.h"

namespace {

using tessaly::fuzzing::ExactBytes;
using tessaly::fuzzing::ExactText;
using tessaly::fuzzing::FuzzInput;
using tessaly::fuzzing::require;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint8_t marker = 0xEE;
constexpr std::int32_t untouched = -12345;

// A decimal text as the rules read it: digits only, at most 128 of them significant.
struct Number {
    mpz_t value;
    bool wellFormed = true;
    std::size_t significantDigits = 0;
    explicit Number(const std::string& text) {
        mpz_init(value);
        const std::size_t first = std::min(text.size(), text.find_first_not_of('0'));
        significantDigits = text.size() - first;
        wellFormed = text.find_first_not_of("0123456789") == std::string::npos && significantDigits <= 128;
        if (wellFormed && significantDigits > 0) mpz_set_str(value, text.c_str() + first, 10);
    }
    ~Number() { mpz_clear(value); }
    Number(const Number&) = delete;
    Number& operator=(const Number&) = delete;
};

struct Key {
    Number exponent, modulus;
    // The number operation: the result, or the failure code (2, then 3, then 1).
    std::int32_t raise(const Number& number, mpz_t result) const {
        if (!exponent.wellFormed || !modulus.wellFormed || !number.wellFormed) return 2;
        if (mpz_cmp(number.value, modulus.value) >= 0) return 3;
        if (mpz_sgn(exponent.value) == 0) return 1;
        mpz_powm(result, number.value, exponent.value, modulus.value);
        return 0;
    }
};

struct Outcome {
    std::int32_t code = 0;
    Bytes output;
    std::int32_t outputLength = untouched;
};

Outcome modelBytesToLine(const Key& key, std::span<const std::uint8_t> data, std::size_t room) {
    Outcome outcome{0, Bytes(room, marker), untouched};
    std::string line;
    mpz_t result;
    mpz_init(result);
    for (std::size_t at = 0; at < data.size(); at += 4) {
        std::uint32_t group = 0;
        for (std::size_t k = 0; k < 4; ++k) group = group << 8 | (at + k < data.size() ? data[at + k] : 0);
        const Number number(std::to_string(group));
        if ((outcome.code = key.raise(number, result)) != 0) break;  // nothing is written
        if (!line.empty()) line += ' ';
        char* digits = mpz_get_str(nullptr, 10, result);
        line += digits;
        free(digits);
    }
    mpz_clear(result);
    if (outcome.code != 0) return outcome;
    require(line.size() + 1 <= room);
    std::memcpy(outcome.output.data(), line.c_str(), line.size() + 1);
    outcome.outputLength = static_cast<std::int32_t>(line.size());
    return outcome;
}

Outcome modelLineToBytes(const Key& key, std::span<const std::uint8_t> data, std::size_t room) {
    Outcome outcome{0, Bytes(room, marker), untouched};
    const std::string line(data.begin(), data.end());
    std::size_t written = 0;
    mpz_t result;
    mpz_init(result);
    for (std::size_t start = 0; start <= line.size();) {
        const std::size_t end = std::min(line.size(), line.find(' ', start));
        if (end > start) {  // an empty token gives nothing
            const Number number(line.substr(start, end - start));
            if ((outcome.code = key.raise(number, result)) != 0) break;  // the earlier bytes stay
            const auto low = static_cast<std::uint32_t>(mpz_get_ui(result));  // the low 32 bits
            for (int k = 0; k < 4; ++k) outcome.output[written++] = static_cast<std::uint8_t>(low >> (24 - 8 * k));
        }
        start = end + 1;
    }
    mpz_clear(result);
    if (outcome.code != 0) return outcome;
    outcome.output[written] = 0;
    outcome.outputLength = static_cast<std::int32_t>(written);
    return outcome;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const std::uint8_t choice = input.byte();
    const std::int32_t direction = choice & 1 ? (choice & 2 ? input.int32() | 1 : 1) : 0;
    const std::string exponentText = input.text(140), modulusText = input.text(140);
    const auto rest = input.rest();
    const auto payload = rest.first(std::min<std::size_t>(rest.size(), 1024));
    const Key key{Number(exponentText), Number(modulusText)};

    // Room by the rules: per group one result no longer than the modulus (at least one
    // digit) and a space, or 4 bytes per token; and the zero byte.
    const std::size_t room =
        direction == 0 ? (payload.size() + 3) / 4 * (std::max<std::size_t>(1, key.modulus.significantDigits) + 1)
                       : 4 * (1 + static_cast<std::size_t>(std::count(payload.begin(), payload.end(), ' '))) + 1;
    const Outcome expected = payload.empty() ? Outcome{0, Bytes(room, marker), untouched}
                             : direction == 0 ? modelBytesToLine(key, payload, room)
                                              : modelLineToBytes(key, payload, room);

    const ExactText exponent(exponentText), modulus(modulusText);
    const ExactBytes in(payload);
    ExactBytes output(room);
    std::memset(output.data(), marker, room);
    std::int32_t outputLength = untouched;
    const std::int32_t code = DoRSA(in.data(), in.length(), output.data(), &outputLength, exponent.get(), modulus.get(), direction);
    require(code == expected.code);
    require(outputLength == expected.outputLength);
    require(output == expected.output);
    return 0;
}
