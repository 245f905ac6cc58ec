// MD5_Ex and SHA_256: the exports over the digest engines.
#include <span>

#include "frame/export_entry.h"
#include "md5.h"
#include "sha256.h"

TESSALY_EXPORT void TESSALY_API MD5_Ex(const std::uint8_t* data, std::uint32_t dataLength,
                                       const std::uint8_t* key, std::int32_t keyLength,
                                       std::uint8_t* digest) {
    const std::span<const std::uint8_t> message(data, dataLength);
    // No key (a length of 0 or below; the key pointer is then not read): plain MD5.
    if (keyLength < 1) {
        tessaly::md5::digest(message, digest);
        return;
    }
    tessaly::md5::hmac({key, static_cast<std::size_t>(keyLength)}, message, digest);
}

TESSALY_EXPORT void TESSALY_API SHA_256(const std::uint8_t* data, std::uint32_t length,
                                        std::uint8_t* digest) {
    tessaly::sha256::digest({data, length}, digest);
}
