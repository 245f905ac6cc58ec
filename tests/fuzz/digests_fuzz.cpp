// SHA_256 and MD5_Ex (plain MD5 for a key length below 1, HMAC-MD5 otherwise, keys over 64
// bytes included) against OpenSSL, with the data, the key and the digest each exactly their
// size, and with the digest written over the data it is computed from.
#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <cstdint>
#include <cstring>

#include "fuzz/fuzz_input.h"
#include "tessaly.h"

namespace {

using tessaly::fuzzing::ExactBytes;
using tessaly::fuzzing::FuzzInput;
using tessaly::fuzzing::require;

ExactBytes openSslDigest(const EVP_MD* md, std::span<const std::uint8_t> data) {
    ExactBytes digest(static_cast<std::size_t>(EVP_MD_get_size(md)));
    unsigned int length = 0;
    require(EVP_Digest(data.data(), data.size(), digest.data(), &length, md, nullptr) == 1);
    return digest;
}

ExactBytes openSslHmacMd5(std::span<const std::uint8_t> key, std::span<const std::uint8_t> data) {
    ExactBytes digest(16);
    unsigned int length = 0;
    require(HMAC(EVP_md5(), key.data(), static_cast<int>(key.size()), data.data(), data.size(), digest.data(), &length) != nullptr);
    return digest;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const std::int32_t keyChoice = input.int32();
    const auto keyBytes = input.bytes(200);
    const ExactBytes message(input.rest());

    ExactBytes sha(32);
    SHA_256(message.data(), static_cast<std::uint32_t>(message.size()), sha.data());
    require(sha == openSslDigest(EVP_sha256(), message.span()).span());

    // A key length below 1 is plain MD5, and the key is not read at all.
    const bool keyed = keyChoice > 0 && !keyBytes.empty();
    const ExactBytes key(keyBytes);
    const ExactBytes expected = keyed ? openSslHmacMd5(key.span(), message.span()) : openSslDigest(EVP_md5(), message.span());
    ExactBytes md5(16);
    MD5_Ex(message.data(), static_cast<std::uint32_t>(message.size()), keyed ? key.data() : nullptr,
           keyed ? key.length() : (keyChoice > 0 ? 0 : keyChoice), md5.data());
    require(md5 == expected.span());

    // Into the data's own first bytes.
    if (message.size() >= 32) {
        ExactBytes overwritten(message.span());
        SHA_256(overwritten.data(), static_cast<std::uint32_t>(overwritten.size()), overwritten.data());
        require(std::memcmp(overwritten.data(), sha.data(), 32) == 0);
        ExactBytes again(message.span());
        MD5_Ex(again.data(), static_cast<std::uint32_t>(again.size()), keyed ? key.data() : nullptr,
               keyed ? key.length() : 0, again.data());
        require(std::memcmp(again.data(), md5.data(), 16) == 0);
    }
    return 0;
}
