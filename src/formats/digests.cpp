#include "digests.h"

#include "crypto/wipe.h"

namespace tessaly::formats {

DigestStream::DigestStream(Digest digest, std::span<const std::uint8_t> key) : digest_(digest) {
    switch (digest) {
        case Digest::md5: md5::initialise(md5_); break;
        case Digest::hmacMd5: md5::initialise(hmac_, key); break;
        case Digest::sha256: sha256::initialise(sha256_); break;
    }
}

// finish wipes already; this covers a stream abandoned half way.
DigestStream::~DigestStream() {
    switch (digest_) {
        case Digest::md5: wipeObject(md5_); break;
        case Digest::hmacMd5: wipeObject(hmac_); break;
        case Digest::sha256: wipeObject(sha256_); break;
    }
}

void DigestStream::update(std::span<const std::uint8_t> data) {
    switch (digest_) {
        case Digest::md5: md5::update(md5_, data); break;
        case Digest::hmacMd5: md5::update(hmac_, data); break;
        case Digest::sha256: sha256::update(sha256_, data); break;
    }
}

std::size_t DigestStream::finish(std::uint8_t* out) {
    switch (digest_) {
        case Digest::md5: md5::finish(md5_, out); break;
        case Digest::hmacMd5: md5::finish(hmac_, out); break;
        case Digest::sha256: sha256::finish(sha256_, out); break;
    }
    return digestSizeOf(digest_);
}

}  // namespace tessaly::formats
