// DoDES and Do3DES: the exports over the cipher formats.
#include "formats/ciphers.h"
#include "frame/export_entry.h"
#include "wipe.h"

namespace {

using tessaly::formats::Cipher;

// Mode 1 deciphers; every other mode enciphers. The length is rounded up to whole blocks and
// the bytes past it in the last block are taken as they stand, not padded: hosts pad
// themselves.
void cryptInPlace(Cipher cipher, std::uint8_t* buffer, std::int32_t length, const std::uint8_t* key,
                  std::int32_t mode) {
    if (length <= 0) return;
    const std::size_t keySize =
        cipher == Cipher::des ? tessaly::des::DesEngine::keySize : tessaly::des::TripleDesEngine::keySize;
    tessaly::withStackScrubbed<tessaly::cipherStackDepth>([&] {
        const tessaly::formats::KeyedCipher keyed(
            cipher, {key, keySize}, mode == 1 ? tessaly::Direction::decipher : tessaly::Direction::encipher);
        keyed.cryptBlocks({buffer, tessaly::formats::roundUpToBlocks(static_cast<std::size_t>(length), 8)});
    });
}

}  // namespace

TESSALY_EXPORT void TESSALY_API DoDES(std::uint8_t* buffer, std::int32_t length,
                                      const std::uint8_t* key, std::int32_t mode) {
    cryptInPlace(Cipher::des, buffer, length, key, mode);
}

TESSALY_EXPORT void TESSALY_API Do3DES(std::uint8_t* buffer, std::int32_t length,
                                       const std::uint8_t* key, std::int32_t mode) {
    cryptInPlace(Cipher::tripleDes, buffer, length, key, mode);
}
