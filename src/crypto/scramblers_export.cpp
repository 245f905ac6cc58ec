// Exclusive_OR, Shift_Data and Substitution: the exports over the scramblers.
#include "formats/scrambling.h"
#include "frame/export_entry.h"

// Byte-value arguments: only the low 8 bits are read.

TESSALY_EXPORT void TESSALY_API Exclusive_OR(std::uint8_t* buffer, std::int32_t length,
                                             std::int32_t seed, std::int32_t direction) {
    if (length <= 0) return;
    // Direction 0 unchains; every other direction chains.
    tessaly::formats::XorChain(static_cast<std::uint8_t>(seed), direction != 0)
        .apply({buffer, static_cast<std::size_t>(length)});
}

TESSALY_EXPORT void TESSALY_API Shift_Data(std::uint8_t* buffer, std::int32_t length,
                                           std::int32_t count, std::int32_t direction) {
    if (length <= 0) return;
    tessaly::scramblers::rotateBits(buffer, static_cast<std::size_t>(length),
                                    static_cast<std::uint8_t>(count), direction == 0);
}

TESSALY_EXPORT void TESSALY_API Substitution(std::uint8_t* buffer, std::int32_t length,
                                             std::int32_t direction) {
    if (length <= 0) return;
    tessaly::scramblers::substitute(buffer, static_cast<std::size_t>(length), direction != 0);
}
