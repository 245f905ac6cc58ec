// Inputs from a fixed linear congruential sequence, so every target and every run makes the same.
#pragma once

#include <cstdint>
#include <vector>

namespace tessaly::testing {

inline std::vector<std::uint8_t> input(std::size_t length, std::uint32_t seed) {
    std::vector<std::uint8_t> bytes(length);
    for (auto& byte : bytes) {
        seed = seed * 1664525u + 1013904223u;
        byte = static_cast<std::uint8_t>(seed >> 24);
    }
    return bytes;
}

}  // namespace tessaly::testing
