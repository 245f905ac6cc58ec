// Explicit byte-order loads and stores, so every build gives the same bytes.
#pragma once

#include <cstdint>

namespace tessaly {

inline std::uint32_t load32_be(const std::uint8_t* p) {
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 |
           std::uint32_t{p[3]};
}

inline std::uint32_t load32_le(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}

inline void store32_be(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v >> 24);
    p[1] = static_cast<std::uint8_t>(v >> 16);
    p[2] = static_cast<std::uint8_t>(v >> 8);
    p[3] = static_cast<std::uint8_t>(v);
}

inline void store32_le(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}

inline std::uint64_t load64_le(const std::uint8_t* p) {
    return std::uint64_t{load32_le(p)} | std::uint64_t{load32_le(p + 4)} << 32;
}

inline void store64_le(std::uint8_t* p, std::uint64_t v) {
    store32_le(p, static_cast<std::uint32_t>(v));
    store32_le(p + 4, static_cast<std::uint32_t>(v >> 32));
}

inline void store16_le(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

}  // namespace tessaly
