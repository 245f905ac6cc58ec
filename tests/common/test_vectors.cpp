// Reader for the published known-answer files.
#include "test_vectors.h"

#include <cctype>
#include <fstream>

namespace tessaly::testing {
namespace {

std::string trim(const std::string& s) {
    std::size_t begin = 0, end = s.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(s[begin]))) ++begin;
    while (end > begin && std::isspace(static_cast<unsigned char>(s[end - 1]))) --end;
    return s.substr(begin, end - begin);
}

}  // namespace

std::optional<std::string> testVectorFolder() {
    std::ifstream probe(std::string(TESSALY_TESTVECTORS) + "/README.md");
    if (!probe) return std::nullopt;
    return std::string(TESSALY_TESTVECTORS);
}

std::optional<std::vector<VectorRecord>> readVectorFile(const std::string& name) {
    const auto folder = testVectorFolder();
    if (!folder) return std::nullopt;
    std::ifstream file(*folder + "/" + name, std::ios::binary);
    if (!file) return std::nullopt;
    std::vector<VectorRecord> records;
    std::string section;
    VectorRecord current;
    int lineNumber = 0;
    const auto finish = [&] {
        if (!current.fields.empty()) records.push_back(current);
        current = VectorRecord{};
    };
    for (std::string raw; std::getline(file, raw);) {
        ++lineNumber;
        const std::string line = trim(raw);
        if (line.empty()) {
            finish();
        } else if (line[0] == '#') {
            continue;
        } else if (line.front() == '[' && line.back() == ']') {
            finish();
            section = line.substr(1, line.size() - 2);
        } else if (const auto eq = line.find('='); eq != std::string::npos) {
            if (current.fields.empty()) {
                current.section = section;
                current.line = lineNumber;
            }
            // The value may itself contain "=" (Base64 padding): split at the first one.
            current.fields[trim(line.substr(0, eq))] = trim(line.substr(eq + 1));
        }
    }
    finish();
    return records;
}

std::vector<std::uint8_t> fromHex(const std::string& hex) {
    std::vector<std::uint8_t> bytes;
    const auto nibble = [](char c) {
        return std::isdigit(static_cast<unsigned char>(c))
                   ? c - '0'
                   : std::tolower(static_cast<unsigned char>(c)) - 'a' + 10;
    };
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(static_cast<std::uint8_t>(nibble(hex[i]) << 4 | nibble(hex[i + 1])));
    return bytes;
}

std::string toHex(const std::uint8_t* bytes, std::size_t count) {
    static const char digits[] = "0123456789ABCDEF";
    std::string hex;
    for (std::size_t i = 0; i < count; ++i) {
        hex += digits[bytes[i] >> 4];
        hex += digits[bytes[i] & 15];
    }
    return hex;
}

}  // namespace tessaly::testing
