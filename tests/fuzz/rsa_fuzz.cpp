// Fuzzes DoRSA with arbitrary key texts and data in both directions, into an output buffer of
// exactly the room the rules promise; a write past it is an AddressSanitizer finding.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "tessaly.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    const int direction = data[0] & 1;
    // Exponent and modulus texts, then the data, split at the first two bytes equal to ';'.
    const std::string input(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::size_t cut1 = input.find(';');
    const std::size_t cut2 = cut1 == std::string::npos ? std::string::npos : input.find(';', cut1 + 1);
    if (cut2 == std::string::npos) return 0;
    const std::string exponent = input.substr(0, cut1);
    const std::string modulus = input.substr(cut1 + 1, cut2 - cut1 - 1);
    const std::string payload = input.substr(cut2 + 1, 256);
    if (payload.empty()) return 0;

    // Room by the rules: per group a result no longer than the modulus's significant digits
    // (at least one) and a space; per token 4 bytes; and the zero byte.
    const std::size_t digits = std::max<std::size_t>(1, modulus.size() - std::min(modulus.size(), modulus.find_first_not_of('0')));
    const std::size_t room = direction == 0 ? (payload.size() + 3) / 4 * (digits + 1) + 1
                                            : 4 * (1 + std::count(payload.begin(), payload.end(), ' ')) + 1;
    std::vector<std::uint8_t> output(room);
    std::int32_t length = -1;
    const std::int32_t code = DoRSA(reinterpret_cast<const std::uint8_t*>(payload.data()),
                                    static_cast<std::int32_t>(payload.size()), output.data(), &length,
                                    exponent.c_str(), modulus.c_str(), direction);
    if (code != 0 && code != 1 && code != 2 && code != 3) std::abort();
    if (code == 0 && (length < 0 || static_cast<std::size_t>(length) >= room || output[length] != 0)) std::abort();
    if (code != 0 && length != -1) std::abort();
    return 0;
}
