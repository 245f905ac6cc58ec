// DoAES: the export over the cipher formats.
#include "formats/ciphers.h"
#include "frame/export_entry.h"
#include "wipe.h"

TESSALY_EXPORT void TESSALY_API DoAES(std::uint8_t* buffer, std::int32_t length,
                                      const std::uint8_t* key, std::int32_t keyLength,
                                      std::int32_t mode) {
    using namespace tessaly::formats;
    if (length < 1) return;
    tessaly::withStackScrubbed<tessaly::cipherStackDepth>([&] {
        // keyLength only selects the key size; mode 0 enciphers, every other mode deciphers.
        const KeyedCipher keyed(Cipher::aes, {key, aesKeySizeFor(keyLength)},
                                mode == 0 ? tessaly::Direction::encipher : tessaly::Direction::decipher);
        keyed.cryptZeroPadded(buffer, static_cast<std::size_t>(length));
    });
}
