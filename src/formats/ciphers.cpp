#include "ciphers.h"

#include <algorithm>
#include <cstring>

#include "crypto/wipe.h"

namespace tessaly::formats {

bool acceptsKeySize(Cipher cipher, std::size_t keySize) {
    switch (cipher) {
        case Cipher::des: return keySize == des::DesEngine::keySize;
        case Cipher::tripleDes: return keySize == des::TripleDesEngine::keySize;
        case Cipher::aes: return keySize == 16 || keySize == 24 || keySize == 32;
        case Cipher::blowfish: return keySize >= 1 && keySize <= blowfish::maxKeySize;
    }
    return false;
}

std::span<const std::uint8_t> blowfishKeyIn(const std::uint8_t* key, std::size_t available) {
    const std::size_t bound = std::min(available, blowfish::maxKeySize);
    std::size_t size = 0;
    while (size < bound && key[size] != 0) ++size;
    return {key, size};
}

KeyedCipher::KeyedCipher(Cipher cipher, std::span<const std::uint8_t> key, Direction direction)
    : cipher_(cipher), direction_(direction) {
    switch (cipher) {
        case Cipher::des:
            des_.setKey(key.first<des::DesEngine::keySize>());
            break;
        case Cipher::tripleDes:
            tripleDes_.setKey(key.first<des::TripleDesEngine::keySize>());
            break;
        case Cipher::aes:
            aes_.setKey(key, direction);
            break;
        case Cipher::blowfish:
            blowfish_.setKey(blowfishKeyIn(key.data(), key.size()));
            break;
    }
}

KeyedCipher::~KeyedCipher() {
    switch (cipher_) {  // only the engine in use: Blowfish's 4 KiB are not wiped for a DES key
        case Cipher::des: wipeObject(des_); break;
        case Cipher::tripleDes: wipeObject(tripleDes_); break;
        case Cipher::aes: wipeObject(aes_); break;
        case Cipher::blowfish: wipeObject(blowfish_); break;
    }
}

void KeyedCipher::cryptBlocks(std::span<std::uint8_t> data) const {
    const std::size_t blockCount = data.size() / blockSize();
    switch (cipher_) {
        case Cipher::des: des_.cryptBlocks(data.data(), blockCount, direction_); break;
        case Cipher::tripleDes: tripleDes_.cryptBlocks(data.data(), blockCount, direction_); break;
        case Cipher::aes: aes_.cryptBlocks(data.data(), blockCount, direction_); break;
        case Cipher::blowfish: blowfish_.cryptBlocks(data.data(), blockCount, direction_); break;
    }
}

std::size_t KeyedCipher::cryptZeroPadded(std::uint8_t* buffer, std::size_t length) const {
    const std::size_t block = blockSize();
    const std::size_t whole = length / block * block;
    cryptBlocks({buffer, whole});
    const std::size_t tail = length - whole;
    if (tail == 0) return whole;
    std::uint8_t last[16] = {};
    std::memcpy(last, buffer + whole, tail);
    cryptBlocks({last, block});
    std::memcpy(buffer + whole, last, block);
    wipe(last, sizeof last);
    return whole + block;
}

}  // namespace tessaly::formats
