// The digests of MD5_Ex and SHA_256, one interface for all three, in pieces of any size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "crypto/md5.h"
#include "crypto/sha256.h"

namespace tessaly::formats {

enum class Digest { md5, hmacMd5, sha256 };

constexpr std::size_t digestSizeOf(Digest digest) {
    return digest == Digest::sha256 ? sha256::digestSize : md5::digestSize;
}

// MD5_Ex's rule: an empty key gives plain MD5, any other HMAC-MD5 under it.
constexpr Digest md5ExDigestFor(std::size_t keySize) { return keySize == 0 ? Digest::md5 : Digest::hmacMd5; }

class DigestStream {
public:
    // key: the HMAC key, read here and not kept; ignored by the plain digests.
    explicit DigestStream(Digest digest, std::span<const std::uint8_t> key = {});
    ~DigestStream();
    DigestStream(const DigestStream&) = delete;
    DigestStream& operator=(const DigestStream&) = delete;

    void update(std::span<const std::uint8_t> data);
    // Writes digestSizeOf() bytes and wipes the state; out may overlap anything absorbed.
    std::size_t finish(std::uint8_t* out);

private:
    Digest digest_;
    union {
        md5::MD5Context md5_;
        md5::HmacContext hmac_;
        sha256::SHA256Context sha256_;
    };
};

}  // namespace tessaly::formats
