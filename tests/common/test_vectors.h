// Test data: published known-answer files (sections, then records of "Name = value"
// lines), hex, and random bytes.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace tessaly::testing {

struct VectorRecord {
    std::string section;                       // e.g. "valid", "AES-128"; "" before any
    std::map<std::string, std::string> fields;  // e.g. "Key" -> "000102..."
    int line = 0;                              // where the record starts, for messages
};

// The folder of published vectors, or nullopt when it is not beside this checkout.
std::optional<std::string> testVectorFolder();

// All records of a file in the folder (blank lines end a record, "#" starts a comment,
// "[NAME]" starts a section). Returns nullopt when the file cannot be read.
std::optional<std::vector<VectorRecord>> readVectorFile(const std::string& name);

std::vector<std::uint8_t> fromHex(const std::string& hex);
std::string toHex(const std::uint8_t* bytes, std::size_t count);
inline std::string toHex(const std::vector<std::uint8_t>& bytes) {
    return toHex(bytes.data(), bytes.size());
}
inline std::vector<std::uint8_t> bytesOf(const std::string& text) {
    return {text.begin(), text.end()};
}
inline std::vector<std::uint8_t> randomBytes(std::mt19937& rng, std::size_t n) {
    std::vector<std::uint8_t> bytes(n);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(rng());
    return bytes;
}

}  // namespace tessaly::testing

// Skips the current test, saying why, when the published vectors are not there.
#define TESSALY_REQUIRE_VECTORS(records, file)                                              \
    auto records = ::tessaly::testing::readVectorFile(file);                                \
    if (!records) {                                                                         \
        GTEST_SKIP() << "published test vectors not found (" << file << " in "              \
                     << TESSALY_TESTVECTORS << "); they sit beside the project in CI";      \
    }                                                                                       \
    static_assert(true)
