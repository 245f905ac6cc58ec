// DoDES and Do3DES: the exports over the DES engine.
#include "des.h"
#include "frame/export_entry.h"

namespace {

// Blocks to transform: length rounded up to whole blocks. The bytes past length in the last
// block are taken as they stand, not padded: hosts pad themselves.
std::size_t blocksFor(std::int32_t length) {
    return (static_cast<std::uint32_t>(length) + 7) / 8;
}

tessaly::des::Direction directionFor(std::int32_t mode) {
    return mode == 1 ? tessaly::des::Direction::decipher : tessaly::des::Direction::encipher;
}

}  // namespace

TESSALY_EXPORT void TESSALY_API DoDES(std::uint8_t* buffer, std::int32_t length,
                                      const std::uint8_t* key, std::int32_t mode) {
    if (length <= 0) return;
    tessaly::des::cryptBlocks(std::span<const std::uint8_t, 8>(key, 8), buffer, blocksFor(length),
                              directionFor(mode));
}

TESSALY_EXPORT void TESSALY_API Do3DES(std::uint8_t* buffer, std::int32_t length,
                                       const std::uint8_t* key, std::int32_t mode) {
    if (length <= 0) return;
    tessaly::des::tripleCryptBlocks(std::span<const std::uint8_t, 16>(key, 16), buffer,
                                    blocksFor(length), directionFor(mode));
}
