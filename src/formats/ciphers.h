// The rules of the enciphered-buffer formats that DoDES, Do3DES, DoAES and DoBlowfish write:
// electronic-codebook blocks, the key sizes, the Blowfish key that ends at its first zero byte
// and the short last block. The exports, the tool and the bindings all go through here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "crypto/aes.h"
#include "crypto/blowfish.h"
#include "crypto/des.h"
#include "crypto/direction.h"

namespace tessaly::formats {

enum class Cipher { des, tripleDes, aes, blowfish };

constexpr std::size_t blockSizeOf(Cipher cipher) { return cipher == Cipher::aes ? 16 : 8; }

// Whole blocks that hold length bytes.
constexpr std::size_t roundUpToBlocks(std::size_t length, std::size_t blockSize) {
    return (length + blockSize - 1) / blockSize * blockSize;
}

// Key sizes that key each cipher exactly: DES 8 bytes, triple DES 16 (the first key, then
// the second), AES 16, 24 or 32 (AES-128, -192 or -256), Blowfish 1 to 56.
bool acceptsKeySize(Cipher cipher, std::size_t keySize);

// The AES key size that a host's keyLength selects: up to 16 gives 16, up to 24 gives 24,
// anything above 32. All bytes of that size are read, whatever keyLength says.
constexpr std::size_t aesKeySizeFor(std::int64_t keyLength) {
    return keyLength <= 16 ? 16 : keyLength <= 24 ? 24 : 32;
}

// The Blowfish key among the first `available` bytes at key (at most 56 count): the bytes
// before the first zero byte. Read byte by byte, so nothing past that zero byte is touched.
std::span<const std::uint8_t> blowfishKeyIn(const std::uint8_t* key, std::size_t available);

// A cipher keyed by these rules, for one direction. The key schedule lives inside (no heap)
// and is wiped when the object goes.
class KeyedCipher {
public:
    // key: an accepted size for DES, triple DES and AES; for Blowfish any bytes, of which
    // blowfishKeyIn takes the key (none leaves the cipher unkeyed, as hosts rely on).
    KeyedCipher(Cipher cipher, std::span<const std::uint8_t> key, Direction direction);
    ~KeyedCipher();
    KeyedCipher(const KeyedCipher&) = delete;
    KeyedCipher& operator=(const KeyedCipher&) = delete;

    std::size_t blockSize() const { return blockSizeOf(cipher_); }

    // Whole blocks in place; data.size() is a multiple of blockSize().
    void cryptBlocks(std::span<std::uint8_t> data) const;

    // The first `length` bytes at buffer, the last block completed with zero bytes if short,
    // transformed and written back whole: buffer needs room for the rounded length, which is
    // returned. Bytes past length are not read. Deciphering pads too, so a host must decipher
    // with the rounded length to get back what it enciphered.
    std::size_t cryptZeroPadded(std::uint8_t* buffer, std::size_t length) const;

private:
    Cipher cipher_;
    Direction direction_;
    union {
        des::DesEngine des_;
        des::TripleDesEngine tripleDes_;
        aes::AesEngine aes_;
        blowfish::BlowfishEngine blowfish_;
    };
};

}  // namespace tessaly::formats
