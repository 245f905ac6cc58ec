// MD5_Ex and SHA_256: the exports over the digest formats.
#include "formats/digests.h"
#include "frame/export_entry.h"
#include "wipe.h"

TESSALY_EXPORT void TESSALY_API MD5_Ex(const std::uint8_t* data, std::uint32_t dataLength,
                                       const std::uint8_t* key, std::int32_t keyLength,
                                       std::uint8_t* digest) {
    // A length of 0 or below is no key; the key pointer is then not read.
    const std::span<const std::uint8_t> keyBytes(key, keyLength >= 1 ? static_cast<std::size_t>(keyLength) : 0);
    tessaly::withStackScrubbed<tessaly::digestStackDepth>([&] {
        tessaly::formats::DigestStream stream(tessaly::formats::md5ExDigestFor(keyBytes.size()), keyBytes);
        stream.update({data, dataLength});
        stream.finish(digest);
    });
}

TESSALY_EXPORT void TESSALY_API SHA_256(const std::uint8_t* data, std::uint32_t length,
                                        std::uint8_t* digest) {
    tessaly::formats::DigestStream stream(tessaly::formats::Digest::sha256);
    stream.update({data, length});
    stream.finish(digest);
}
