// DoAES: the export over the AES engine.
#include <cstring>

#include "aes.h"
#include "frame/export_entry.h"
#include "wipe.h"

TESSALY_EXPORT void TESSALY_API DoAES(std::uint8_t* buffer, std::int32_t length,
                                      const std::uint8_t* key, std::int32_t keyLength,
                                      std::int32_t mode) {
    using namespace tessaly::aes;
    if (length < 1) return;
    // keyLength only selects the key size; all bytes of that size are used.
    const std::size_t keySize = keyLength <= 16 ? 16 : keyLength <= 24 ? 24 : 32;
    const Direction direction = mode == 0 ? Direction::encipher : Direction::decipher;

    AesContext context;
    setKey(context, {key, keySize}, direction == Direction::decipher);
    const std::size_t blockCount = (static_cast<std::uint32_t>(length) + 15) / 16;
    cryptBlocks(context, buffer, blockCount - 1, direction);

    // The last block, whole or short, goes through a zero-padded copy and comes back whole:
    // deciphering pads too, so ciphertext must be deciphered with its rounded length.
    const std::size_t offset = blockSize * (blockCount - 1);
    std::uint8_t last[blockSize] = {};
    std::memcpy(last, buffer + offset, static_cast<std::size_t>(length) - offset);
    cryptBlocks(context, last, 1, direction);
    std::memcpy(buffer + offset, last, blockSize);

    tessaly::wipeObject(context);
    tessaly::wipe(last, sizeof last);
}
