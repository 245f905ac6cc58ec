// DoDES, Do3DES, DoAES and DoBlowfish through the DLL: known answers, published AES files,
// the key, length, padding and mode rules, and round trips on random data.
#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "common/test_vectors.h"
#include "dll_under_test.h"

namespace tessaly::host {
namespace {

using testing::fromHex;
using testing::randomBytes;
using testing::toHex;
using Bytes = std::vector<std::uint8_t>;

Bytes prefix(const Bytes& bytes, std::size_t n) { return Bytes(bytes.begin(), bytes.begin() + n); }

// Each cipher export called on a copy of data; returns the whole buffer afterwards.
Bytes des(Bytes data, std::int32_t length, const Bytes& key, std::int32_t mode) {
    callExport<void>("DoDES", data.data(), length, key.data(), mode);
    return data;
}
Bytes des3(Bytes data, std::int32_t length, const Bytes& key, std::int32_t mode) {
    callExport<void>("Do3DES", data.data(), length, key.data(), mode);
    return data;
}
Bytes aes(Bytes data, std::int32_t length, const Bytes& key, std::int32_t keyLength, std::int32_t mode) {
    callExport<void>("DoAES", data.data(), length, key.data(), keyLength, mode);
    return data;
}
Bytes blowfish(Bytes data, std::int32_t length, const std::uint8_t* key, std::int32_t keyLength,
               std::int32_t mode) {
    callExport<void>("DoBlowfish", data.data(), length, key, keyLength, mode);
    return data;
}

// ---- DES and triple DES ----

TEST(DoDES, ChangedPermutationVector) {
    const Bytes zeros(8, 0);
    EXPECT_EQ(toHex(des(zeros, 8, zeros, 0)), "28DF3F2247199D37");
    EXPECT_EQ(toHex(des3(zeros, 8, Bytes(16, 0), 0)), "28DF3F2247199D37");
    EXPECT_EQ(toHex(des(fromHex("28DF3F2247199D37"), 8, zeros, 1)), "0000000000000000");
}

TEST(DoDES, LengthRulesAndTheTailAsItStands) {
    std::mt19937 rng(1);
    const Bytes key = randomBytes(rng, 16);
    const Bytes data = randomBytes(rng, 32);
    for (const auto& cipher : {des, des3}) {
        for (std::int32_t length : {0, -1, -8}) EXPECT_EQ(cipher(data, length, key, 0), data);
        const Bytes eight = cipher(data, 8, key, 0);
        for (std::int32_t length = 1; length <= 8; ++length) {
            // The bytes up to the rounded length are enciphered as they stand, not padded.
            const Bytes out = cipher(data, length, key, 0);
            EXPECT_EQ(out, eight) << length;
        }
        const Bytes nine = cipher(data, 9, key, 0);
        EXPECT_TRUE(std::equal(nine.begin(), nine.begin() + 8, eight.begin()));
        EXPECT_NE(Bytes(nine.begin() + 8, nine.begin() + 16), Bytes(data.begin() + 8, data.begin() + 16));
        EXPECT_TRUE(std::equal(nine.begin() + 16, nine.end(), data.begin() + 16)) << "past the rounded length";
        EXPECT_EQ(cipher(nine, 9, key, 1), data) << "the tail comes back too";
    }
}

TEST(DoDES, ParityBitsModesAndEqualBlocks) {
    std::mt19937 rng(2);
    const Bytes key = randomBytes(rng, 16);
    Bytes data = randomBytes(rng, 8);
    data.insert(data.end(), data.begin(), data.end());  // two equal blocks
    const Bytes enciphered = des(data, 16, key, 0);
    EXPECT_TRUE(std::equal(enciphered.begin(), enciphered.begin() + 8, enciphered.begin() + 8));
    for (int i = 0; i < 8; ++i) {
        Bytes flipped = key;
        flipped[i] ^= 1;
        EXPECT_EQ(des(data, 16, flipped, 0), enciphered) << "parity bit of key byte " << i;
    }
    for (std::int32_t mode : {2, -1, 0x7FFFFFFF}) EXPECT_EQ(des(data, 16, key, mode), enciphered) << mode;
    EXPECT_EQ(des(enciphered, 16, key, 1), data);
}

TEST(Do3DES, IsEncipherDecipherEncipherOfDoDES) {
    std::mt19937 rng(3);
    for (int round = 0; round < 20; ++round) {
        const Bytes key = randomBytes(rng, 16);
        const Bytes k1(key.begin(), key.begin() + 8), k2(key.begin() + 8, key.end());
        const Bytes data = randomBytes(rng, 8 * (1 + rng() % 10));
        const auto length = static_cast<std::int32_t>(data.size());
        EXPECT_EQ(des3(data, length, key, 0), des(des(des(data, length, k1, 0), length, k2, 1), length, k1, 0));
        EXPECT_EQ(des3(data, length, key, 1), des(des(des(data, length, k1, 1), length, k2, 0), length, k1, 1));
        EXPECT_EQ(des3(des3(data, length, key, 0), length, key, 1), data);
        Bytes sameHalves = k1;
        sameHalves.insert(sameHalves.end(), k1.begin(), k1.end());
        EXPECT_EQ(des3(data, length, sameHalves, 0), des(data, length, k1, 0));
    }
}

// ---- AES ----

TEST(DoAES, Fips197AppendixVectors) {
    const Bytes plain = fromHex("00112233445566778899AABBCCDDEEFF");
    Bytes key;
    for (int i = 0; i < 32; ++i) key.push_back(static_cast<std::uint8_t>(i));
    const std::pair<std::int32_t, const char*> vectors[] = {
        {16, "69C4E0D86A7B0430D8CDB78070B4C55A"},
        {24, "DDA97CA4864CDFE06EAF70A0EC0D7191"},
        {32, "8EA2B7CA516745BFEAFC49904B496089"},
    };
    for (const auto& [keyLength, cipher] : vectors) {
        EXPECT_EQ(toHex(aes(plain, 16, key, keyLength, 0)), cipher) << keyLength;
        EXPECT_EQ(aes(fromHex(cipher), 16, key, keyLength, 1), plain) << keyLength;
    }
}

TEST(DoAES, KeyLengthSelectsTheKeySize) {
    std::mt19937 rng(4);
    const Bytes key = randomBytes(rng, 32), data = randomBytes(rng, 16);
    const Bytes aes128 = aes(data, 16, key, 16, 0), aes192 = aes(data, 16, key, 24, 0),
                aes256 = aes(data, 16, key, 32, 0);
    EXPECT_NE(aes128, aes192);
    EXPECT_NE(aes192, aes256);
    for (std::int32_t keyLength : {0, -1, 1, 5, 15}) EXPECT_EQ(aes(data, 16, key, keyLength, 0), aes128) << keyLength;
    for (std::int32_t keyLength : {17, 23}) EXPECT_EQ(aes(data, 16, key, keyLength, 0), aes192) << keyLength;
    for (std::int32_t keyLength : {25, 31, 1000, 0x7FFFFFFF}) EXPECT_EQ(aes(data, 16, key, keyLength, 0), aes256) << keyLength;
}

TEST(DoAES, LengthPaddingAndModes) {
    std::mt19937 rng(5);
    const Bytes key = randomBytes(rng, 16);
    const Bytes data = randomBytes(rng, 48);
    for (std::int32_t length : {0, -1, -16}) EXPECT_EQ(aes(data, length, key, 16, 0), data);

    const Bytes sixteen = aes(data, 16, key, 16, 0);
    EXPECT_TRUE(std::equal(sixteen.begin() + 16, sixteen.end(), data.begin() + 16)) << "exactly 16 bytes";

    // Length 17: the second block is the 17th byte and 15 zero bytes.
    const Bytes seventeen = aes(data, 17, key, 16, 0);
    Bytes padded(data.begin(), data.begin() + 17);
    padded.resize(32, 0);
    EXPECT_EQ(prefix(seventeen, 32), aes(padded, 32, key, 16, 0));
    EXPECT_TRUE(std::equal(seventeen.begin() + 32, seventeen.end(), data.begin() + 32));

    // 20 bytes write 32; the rounded length deciphers to the data and 12 zero bytes, the
    // unrounded one does not.
    const Bytes twenty = aes(data, 20, key, 16, 0);
    Bytes expected(data.begin(), data.begin() + 20);
    expected.resize(32, 0);
    EXPECT_EQ(prefix(aes(twenty, 32, key, 16, 1), 32), expected);
    const Bytes wrong = aes(twenty, 20, key, 16, 1);
    EXPECT_FALSE(std::equal(expected.begin(), expected.begin() + 20, wrong.begin()));

    for (std::int32_t mode : {1, 2, -1}) EXPECT_EQ(aes(sixteen, 16, key, 16, mode), data) << mode;
    Bytes twice(data.begin(), data.begin() + 16);
    twice.insert(twice.end(), twice.begin(), twice.end());
    const Bytes twiceOut = aes(twice, 32, key, 16, 0);
    EXPECT_TRUE(std::equal(twiceOut.begin(), twiceOut.begin() + 16, twiceOut.begin() + 16));
}

TEST(DoAES, PublishedVectorFile) {
    TESSALY_REQUIRE_VECTORS(records, "aes.vec");
    int checked = 0;
    for (const auto& record : *records) {
        const Bytes key = fromHex(record.fields.at("Key"));
        const Bytes in = fromHex(record.fields.at("In")), out = fromHex(record.fields.at("Out"));
        const auto keyLength = static_cast<std::int32_t>(key.size());
        const auto length = static_cast<std::int32_t>(in.size());  // some records hold several blocks
        EXPECT_EQ(aes(in, length, key, keyLength, 0), out) << "line " << record.line;
        EXPECT_EQ(aes(out, length, key, keyLength, 1), in) << "line " << record.line;
        ++checked;
    }
    EXPECT_EQ(checked, 1353);
}

TEST(DoAES, NistEcbFiles) {
    const char* kinds[] = {"GFSbox", "KeySbox", "VarKey", "VarTxt"};
    int checked = 0;
    for (const char* kind : kinds)
        for (int bits : {128, 192, 256}) {
            const std::string file = std::string("nist-aes-ecb/ECB") + kind + std::to_string(bits) + ".rsp";
            TESSALY_REQUIRE_VECTORS(records, file);
            for (const auto& record : *records) {
                if (!record.fields.count("KEY")) continue;
                const Bytes key = fromHex(record.fields.at("KEY"));
                const Bytes plain = fromHex(record.fields.at("PLAINTEXT"));
                const Bytes cipher = fromHex(record.fields.at("CIPHERTEXT"));
                const bool encrypt = record.section == "ENCRYPT";
                EXPECT_EQ(aes(encrypt ? plain : cipher, 16, key, bits / 8, encrypt ? 0 : 1),
                          encrypt ? cipher : plain)
                    << file << " line " << record.line;
                ++checked;
            }
        }
    EXPECT_EQ(checked, 2 * (7 + 6 + 5 + 21 + 24 + 16 + 128 + 192 + 256 + 128 + 128 + 128));
}

// ---- Blowfish ----

TEST(DoBlowfish, UnkeyedVectorAndWhatCountsAsNoKey) {
    const Bytes zeros(8, 0);
    const Bytes unkeyed = blowfish(zeros, 8, nullptr, 0, 0);
    EXPECT_EQ(toHex(unkeyed), "01F5D2A3C523D4B7");
    EXPECT_EQ(blowfish(zeros, 8, nullptr, -5, 0), unkeyed);
    const std::uint8_t zeroFirst[] = {0, 1, 2, 3};
    EXPECT_EQ(blowfish(zeros, 8, zeroFirst, 4, 0), unkeyed);
}

TEST(DoBlowfish, KeyRules) {
    std::mt19937 rng(6);
    Bytes key = randomBytes(rng, 64);
    for (auto& b : key) b |= 1;  // no zero bytes but the ones placed below
    const Bytes data = randomBytes(rng, 16);
    EXPECT_EQ(blowfish(data, 16, key.data(), 60, 0), blowfish(data, 16, key.data(), 56, 0));
    const Bytes firstThree(key.begin(), key.begin() + 3);
    EXPECT_EQ(blowfish(data, 16, key.data(), 3, 0), blowfish(data, 16, firstThree.data(), 3, 0));
    EXPECT_NE(blowfish(data, 16, key.data(), 3, 0), blowfish(data, 16, key.data(), 4, 0));
    Bytes zeroThird = key;
    zeroThird[2] = 0;
    EXPECT_EQ(blowfish(data, 16, zeroThird.data(), 40, 0), blowfish(data, 16, key.data(), 2, 0));
}

TEST(DoBlowfish, LengthPaddingAndModes) {
    std::mt19937 rng(7);
    const Bytes key = randomBytes(rng, 16);
    const Bytes data = randomBytes(rng, 24);
    const auto bf = [&](const Bytes& in, std::int32_t length, std::int32_t mode) {
        return blowfish(in, length, key.data(), 16, mode);
    };
    for (std::int32_t length : {0, -8}) EXPECT_EQ(bf(data, length, 0), data);
    const Bytes eight = bf(data, 8, 0);
    EXPECT_TRUE(std::equal(eight.begin() + 8, eight.end(), data.begin() + 8));

    // 13 bytes write 16: the 5 remaining bytes and 3 zero bytes make the second block.
    const Bytes thirteen = bf(data, 13, 0);
    Bytes padded(data.begin(), data.begin() + 13);
    padded.resize(16, 0);
    EXPECT_EQ(prefix(thirteen, 16), bf(padded, 16, 0));
    EXPECT_TRUE(std::equal(thirteen.begin() + 16, thirteen.end(), data.begin() + 16));
    EXPECT_EQ(prefix(bf(thirteen, 16, 1), 16), padded);

    Bytes three(data.begin(), data.begin() + 3);
    three.resize(8, 0);
    EXPECT_EQ(prefix(bf(data, 3, 0), 8), bf(three, 8, 0));

    for (std::int32_t mode : {1, 2, -1}) EXPECT_EQ(bf(eight, 8, mode), data) << mode;
    Bytes twice(data.begin(), data.begin() + 8);
    twice.insert(twice.end(), twice.begin(), twice.end());
    const Bytes twiceOut = bf(twice, 16, 0);
    EXPECT_TRUE(std::equal(twiceOut.begin(), twiceOut.begin() + 8, twiceOut.begin() + 8));
}

TEST(Ciphers, RoundTripsOnRandomData) {
    std::mt19937 rng(8);
    for (int round = 0; round < 40; ++round) {
        const Bytes key = randomBytes(rng, 56);
        const std::size_t rounded = 16 * (1 + rng() % 64);
        const Bytes data = randomBytes(rng, rounded);
        const auto length = static_cast<std::int32_t>(rounded);
        EXPECT_EQ(des(des(data, length, key, 0), length, key, 1), data);
        EXPECT_EQ(des3(des3(data, length, key, 0), length, key, 1), data);
        for (std::int32_t keyLength : {16, 24, 32})
            EXPECT_EQ(aes(aes(data, length, key, keyLength, 0), length, key, keyLength, 1), data);
        const auto keyLength = static_cast<std::int32_t>(1 + rng() % 56);
        const Bytes enciphered = blowfish(data, length, key.data(), keyLength, 0);
        EXPECT_NE(enciphered, data);
        EXPECT_EQ(blowfish(enciphered, length, key.data(), keyLength, 1), data);
    }
}

}  // namespace
}  // namespace tessaly::host
