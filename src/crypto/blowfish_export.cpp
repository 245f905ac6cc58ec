// DoBlowfish: the export over the Blowfish engine, with a key schedule of its own per call.
#include <algorithm>
#include <cstring>

#include "blowfish.h"
#include "frame/export_entry.h"
#include "wipe.h"

TESSALY_EXPORT void TESSALY_API DoBlowfish(std::uint8_t* buffer, std::int32_t length,
                                           const std::uint8_t* key, std::int32_t keyLength,
                                           std::int32_t mode) {
    using namespace tessaly::blowfish;
    // The key is read as a zero-terminated string of at most 56 bytes: a zero byte ends it,
    // and an empty key leaves the cipher unkeyed.
    std::uint8_t keyArea[maxKeySize] = {};
    const std::size_t copied = keyLength >= 1 ? std::min<std::size_t>(keyLength, maxKeySize) : 0;
    if (copied != 0) std::memcpy(keyArea, key, copied);
    const std::size_t keySize = strnlen(reinterpret_cast<const char*>(keyArea), copied);

    BlowfishState state;
    reset(state);
    setKey(state, {keyArea, keySize});
    tessaly::wipe(keyArea, sizeof keyArea);

    if (length >= 1) {
        const Direction direction = mode == 0 ? Direction::encipher : Direction::decipher;
        const std::size_t fullBlocks = static_cast<std::size_t>(length) / blockSize;
        const std::size_t tail = static_cast<std::size_t>(length) % blockSize;
        cryptBlocks(state, buffer, fullBlocks, direction);
        if (tail != 0) {
            // Zero-padded and written back whole, when deciphering too.
            std::uint8_t* last = buffer + blockSize * fullBlocks;
            std::uint8_t padded[blockSize] = {};
            std::memcpy(padded, last, tail);
            cryptBlocks(state, padded, 1, direction);
            std::memcpy(last, padded, blockSize);
        }
    }
    tessaly::wipeObject(state);
}
