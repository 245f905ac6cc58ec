// DoBlowfish: the export over the cipher formats, with a key schedule of its own per call.
#include "formats/ciphers.h"
#include "frame/export_entry.h"
#include "wipe.h"

TESSALY_EXPORT void TESSALY_API DoBlowfish(std::uint8_t* buffer, std::int32_t length,
                                           const std::uint8_t* key, std::int32_t keyLength,
                                           std::int32_t mode) {
    using namespace tessaly::formats;
    // The key ends at its first zero byte or after 56 bytes; an empty one (keyLength 0 or
    // less, or a zero first byte) leaves the cipher unkeyed and is still used.
    const std::size_t available = keyLength >= 1 ? static_cast<std::size_t>(keyLength) : 0;
    tessaly::withStackScrubbed<tessaly::cipherStackDepth>([&] {
        const KeyedCipher keyed(Cipher::blowfish, {key, available},
                                mode == 0 ? tessaly::Direction::encipher : tessaly::Direction::decipher);
        if (length >= 1) keyed.cryptZeroPadded(buffer, static_cast<std::size_t>(length));
    });
}
