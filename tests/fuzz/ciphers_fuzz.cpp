// The four block ciphers through their exports, the buffer exactly the rounded length and the
// key exactly the bytes the rules let the cipher read:
// - AES against OpenSSL on the zero-padded data, keyLength choosing the key size;
// - Blowfish against the model of its byte order, the key ending at a zero byte or 56 bytes;
// - DES (its own P, so no outside reference) by its rules: ECB, parity bits ignored, the tail
//   of the last block taken as it stands, deciphering undoing enciphering; triple DES as the
//   three DoDES passes it is made of.
// Each then deciphers what it enciphered.
#include <openssl/evp.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "common/blowfish_model.h"
#include "fuzz/fuzz_input.h"
#include "tessaly.h"

namespace {

using tessaly::fuzzing::ExactBytes;
using tessaly::fuzzing::FuzzInput;
using tessaly::fuzzing::require;
using Bytes = std::vector<std::uint8_t>;

std::size_t roundedUp(std::size_t length, std::size_t block) { return (length + block - 1) / block * block; }

// The data in a buffer of the rounded length: its tail from filler, or zeros.
ExactBytes blockBuffer(std::span<const std::uint8_t> data, std::size_t block, std::uint8_t filler) {
    ExactBytes buffer(roundedUp(data.size(), block));
    std::memset(buffer.data(), filler, buffer.size());
    if (!data.empty()) std::memcpy(buffer.data(), data.data(), data.size());
    return buffer;
}

void checkAes(std::span<const std::uint8_t> data, std::span<const std::uint8_t> keySource, std::int32_t keyLength, std::int32_t mode) {
    const std::size_t keySize = keyLength <= 16 ? 16 : keyLength <= 24 ? 24 : 32;
    Bytes keyBytes(keySource.begin(), keySource.end());
    keyBytes.resize(keySize, 0x6B);
    const ExactBytes key(keyBytes);
    const bool enciphering = mode == 0;

    ExactBytes expected = blockBuffer(data, 16, 0);
    const EVP_CIPHER* cipher = keySize == 16 ? EVP_aes_128_ecb() : keySize == 24 ? EVP_aes_192_ecb() : EVP_aes_256_ecb();
    EVP_CIPHER_CTX* context = EVP_CIPHER_CTX_new();
    int written = 0;
    require(EVP_CipherInit_ex(context, cipher, nullptr, key.data(), nullptr, enciphering ? 1 : 0) == 1);
    EVP_CIPHER_CTX_set_padding(context, 0);
    require(EVP_CipherUpdate(context, expected.data(), &written, expected.data(), expected.length()) == 1);
    EVP_CIPHER_CTX_free(context);

    ExactBytes buffer = blockBuffer(data, 16, 0xA5);  // the tail is zero-padded by the cipher
    DoAES(buffer.data(), static_cast<std::int32_t>(data.size()), key.data(), keyLength, mode);
    require(buffer == expected.span());
    DoAES(buffer.data(), buffer.length(), key.data(), keyLength, enciphering ? 1 : 0);
    require(buffer == blockBuffer(data, 16, 0).span());
}

void checkBlowfish(std::span<const std::uint8_t> data, std::span<const std::uint8_t> keySource, std::int32_t keyLength, std::int32_t mode) {
    // Exactly the key bytes that may be read: up to the first zero byte (included) or the
    // first min(keyLength, 56). Below 1 the key is not read at all.
    const std::size_t limit = keyLength < 1 ? 0 : std::min<std::size_t>(56, static_cast<std::size_t>(keyLength));
    Bytes keyBytes(keySource.begin(), keySource.begin() + static_cast<std::ptrdiff_t>(std::min(limit, keySource.size())));
    keyBytes.resize(limit, 0x3C);
    const auto zero = std::find(keyBytes.begin(), keyBytes.end(), 0);
    const std::size_t keyUsed = static_cast<std::size_t>(zero - keyBytes.begin());
    if (zero != keyBytes.end()) keyBytes.resize(keyUsed + 1);
    const ExactBytes key(keyBytes);
    const bool enciphering = mode == 0;

    const tessaly::testing::BlowfishModel model(std::span(keyBytes).first(keyUsed));
    ExactBytes expected = blockBuffer(data, 8, 0);
    for (std::size_t at = 0; at < expected.size(); at += 8)
        model.cryptBlock(std::span<std::uint8_t, 8>(expected.data() + at, 8), enciphering);

    ExactBytes buffer = blockBuffer(data, 8, 0x96);  // the tail is zero-padded by the cipher
    DoBlowfish(buffer.data(), static_cast<std::int32_t>(data.size()), limit == 0 ? nullptr : key.data(), keyLength, mode);
    require(buffer == expected.span());
    DoBlowfish(buffer.data(), buffer.length(), limit == 0 ? nullptr : key.data(), keyLength, enciphering ? 1 : 0);
    require(buffer == blockBuffer(data, 8, 0).span());
}

void checkDes(std::span<const std::uint8_t> data, std::span<const std::uint8_t> keySource, std::int32_t mode, std::uint8_t filler) {
    Bytes keyBytes(keySource.begin(), keySource.end());
    keyBytes.resize(16, 0x47);
    const ExactBytes key1(std::span(keyBytes).first(8)), key2(std::span(keyBytes).subspan(8, 8));
    const std::int32_t undo = mode == 1 ? 0 : 1;
    const ExactBytes original = blockBuffer(data, 8, filler);  // the tail as it stands

    // Block by block, each 8 bytes alone: the first two and the last (a call apiece is dear).
    ExactBytes whole(original.span());
    DoDES(whole.data(), static_cast<std::int32_t>(data.size()), key1.data(), mode);
    for (std::size_t at = 0; at < original.size(); at = at < 8 || at + 16 >= original.size() ? at + 8 : original.size() - 8) {
        ExactBytes block(original.span().subspan(at, 8));
        DoDES(block.data(), 8, key1.data(), mode);
        require(std::memcmp(block.data(), whole.data() + at, 8) == 0);
    }
    // The parity bits count for nothing.
    Bytes flipped = keyBytes;
    for (std::size_t i = 0; i < 8; ++i) flipped[i] ^= static_cast<std::uint8_t>(filler >> i & 1);
    const ExactBytes flippedKey(std::span(flipped).first(8));
    ExactBytes again(original.span());
    DoDES(again.data(), again.length(), flippedKey.data(), mode);
    require(again == whole.span());
    DoDES(again.data(), again.length(), key1.data(), undo);
    require(again == original.span());

    // Triple DES: K1 with mode, K2 the other way, K1 with mode, each over the whole buffer.
    ExactBytes passes(original.span());
    DoDES(passes.data(), passes.length(), key1.data(), mode);
    DoDES(passes.data(), passes.length(), key2.data(), undo);
    DoDES(passes.data(), passes.length(), key1.data(), mode);
    const ExactBytes key(keyBytes);
    ExactBytes triple(original.span());
    Do3DES(triple.data(), static_cast<std::int32_t>(data.size()), key.data(), mode);
    require(triple == passes.span());
    Do3DES(triple.data(), triple.length(), key.data(), undo);
    require(triple == original.span());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const std::uint8_t choice = input.byte();
    const std::int32_t mode = choice & 0x80 ? input.int32() : (choice >> 6 & 1);
    const std::int32_t keyLength = choice & 0x20 ? input.int32() : input.byte() % 64;
    const auto key = input.bytes(64);
    const auto rest = input.rest();
    const auto message = rest.first(std::min<std::size_t>(rest.size(), 1024));
    switch (choice % 3) {
        case 0: checkAes(message, key, keyLength, mode); break;
        case 1: checkBlowfish(message, key, keyLength, mode); break;
        case 2: checkDes(message, key, mode, static_cast<std::uint8_t>(keyLength)); break;
    }

    // A length of 0 or below changes and reads nothing.
    ExactBytes none(0);
    const std::int32_t nothing = -static_cast<std::int32_t>(message.size());
    DoDES(none.data(), nothing, nullptr, mode);
    Do3DES(none.data(), nothing, nullptr, mode);
    DoBlowfish(none.data(), nothing, nullptr, 0, mode);
    return 0;
}
