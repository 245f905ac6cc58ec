// The block-cipher engines: every AES path alike and equal to OpenSSL; the DES engine over
// the FIPS P table equal to OpenSSL's DES (so the changed P entry is the only difference);
// the Blowfish constants equal to OpenSSL's; many threads of first calls at once.
#define OPENSSL_SUPPRESS_DEPRECATED  // DES_* and BF_* are the reference here
#include <gtest/gtest.h>
#include <openssl/blowfish.h>
#include <openssl/des.h>
#include <openssl/evp.h>

#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include "crypto/aes.h"
#include "crypto/blowfish.h"
#include "crypto/bytes.h"
#include "crypto/des.h"
#include "common/test_vectors.h"
#include "tessaly.h"

namespace tessaly {
namespace {

using testing::randomBytes;

// Every path, the plain bitsliced one included, against OpenSSL with its own key set-up: every
// key size, both directions, and every count of blocks around the batches of the paths (4, 6,
// 8, 12 and 16 blocks).
TEST(Aes, EveryPathMatchesOpenSsl) {
    const auto paths = aes::availablePaths();
    ASSERT_STREQ(paths[0].name, "bitsliced");
    std::mt19937 rng(1);
    for (int round = 0; round < 150; ++round) {
        const std::size_t keySize = std::vector<std::size_t>{16, 24, 32}[round % 3];
        const EVP_CIPHER* cipher = keySize == 16 ? EVP_aes_128_ecb() : keySize == 24 ? EVP_aes_192_ecb() : EVP_aes_256_ecb();
        const auto key = randomBytes(rng, keySize);
        const std::size_t blocks = round % 38;
        const auto data = randomBytes(rng, blocks * 16);
        for (const int encrypt : {1, 0}) {
            std::vector<std::uint8_t> expected(data.size() + 16);
            int written = 0;
            EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
            EVP_CipherInit_ex(ctx, cipher, nullptr, key.data(), nullptr, encrypt);
            EVP_CIPHER_CTX_set_padding(ctx, 0);
            EVP_CipherUpdate(ctx, expected.data(), &written, data.data(), static_cast<int>(data.size()));
            EVP_CIPHER_CTX_free(ctx);
            expected.resize(data.size());
            for (const auto& path : paths) {
                aes::AesEngine engine;
                ASSERT_TRUE(path.setKey(engine, key, Direction::decipher));
                auto actual = data;
                path.cryptBlocks(engine, actual.data(), blocks, encrypt ? Direction::encipher : Direction::decipher);
                EXPECT_EQ(actual, expected) << path.name << " with " << key.size() << "-byte key, " << blocks
                                            << " blocks, " << (encrypt ? "encipher" : "decipher");
            }
        }
    }
}

TEST(Aes, AgreesWithOpenSsl) {
    std::mt19937 rng(2);
    for (int round = 0; round < 300; ++round) {
        const std::size_t keySize = std::vector<std::size_t>{16, 24, 32}[round % 3];
        const EVP_CIPHER* cipher = keySize == 16 ? EVP_aes_128_ecb() : keySize == 24 ? EVP_aes_192_ecb() : EVP_aes_256_ecb();
        const auto key = randomBytes(rng, keySize);
        const auto data = randomBytes(rng, 16 * (1 + rng() % 40));
        std::vector<std::uint8_t> theirs(data.size() + 16);
        int written = 0;
        EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
        EVP_EncryptInit_ex(ctx, cipher, nullptr, key.data(), nullptr);
        EVP_CIPHER_CTX_set_padding(ctx, 0);
        EVP_EncryptUpdate(ctx, theirs.data(), &written, data.data(), static_cast<int>(data.size()));
        EVP_CIPHER_CTX_free(ctx);
        theirs.resize(written);

        auto ours = data;
        DoAES(ours.data(), static_cast<std::int32_t>(ours.size()), key.data(), static_cast<std::int32_t>(keySize), 0);
        EXPECT_EQ(ours, theirs) << keySize;
        DoAES(ours.data(), static_cast<std::int32_t>(ours.size()), key.data(), static_cast<std::int32_t>(keySize), 1);
        EXPECT_EQ(ours, data);
    }
}

// The bitsliced path against the tables, for both P tables, single and triple DES, both
// directions, on counts of blocks around its batch of 512.
template <typename Engine>
void expectBitslicedMatchesTables(std::mt19937& rng) {
    for (const std::size_t blocks : {des::bitslicedBatch - 1, des::bitslicedBatch, des::bitslicedBatch + 5,
                                     3 * des::bitslicedBatch + 7}) {
        auto key = randomBytes(rng, Engine::keySize);
        Engine engine;
        engine.setKey(std::span<const std::uint8_t, Engine::keySize>(key.data(), Engine::keySize));
        const auto data = randomBytes(rng, blocks * des::blockSize);
        for (auto direction : {Direction::encipher, Direction::decipher}) {
            auto tables = data, sliced = data;
            engine.cryptBlocks(tables.data(), blocks, direction, des::BlockPath::tables);
            engine.cryptBlocks(sliced.data(), blocks, direction, des::BlockPath::bitsliced);
            ASSERT_EQ(sliced, tables) << blocks << " blocks, " << Engine::keySize << "-byte key";
        }
    }
}

TEST(Des, BitslicedPathMatchesTheTables) {
    if (!des::bitslicedAvailable()) GTEST_SKIP() << "no AVX-512 here: only the tables run";
    std::mt19937 rng(31);
    for (int round = 0; round < 3; ++round) {
        expectBitslicedMatchesTables<des::DesEngine>(rng);
        expectBitslicedMatchesTables<des::StandardDesEngine>(rng);
        expectBitslicedMatchesTables<des::TripleDesEngine>(rng);
        expectBitslicedMatchesTables<des::StandardTripleDesEngine>(rng);
    }
}

// With the FIPS P table the engine is standard DES, block for block and key for key.
TEST(Des, EngineOverTheStandardPIsOpenSslDes) {
    std::mt19937 rng(3);
    for (int round = 0; round < 500; ++round) {
        auto key = randomBytes(rng, 16);
        const auto data = randomBytes(rng, 8 * (1 + rng() % 8));
        des::StandardDesEngine k1;
        des::StandardTripleDesEngine k12;
        k1.setKey(std::span<const std::uint8_t, 8>(key.data(), 8));
        k12.setKey(std::span<const std::uint8_t, 16>(key.data(), 16));
        DES_cblock b1, b2;
        std::memcpy(b1, key.data(), 8);
        std::memcpy(b2, key.data() + 8, 8);
        DES_key_schedule s1, s2;
        DES_set_key_unchecked(&b1, &s1);
        DES_set_key_unchecked(&b2, &s2);

        auto single = data, triple = data;
        k1.cryptBlocks(single.data(), data.size() / 8, Direction::encipher);
        k12.cryptBlocks(triple.data(), data.size() / 8, Direction::encipher);
        for (std::size_t at = 0; at < data.size(); at += 8) {
            DES_cblock in, out, out3;
            std::memcpy(in, data.data() + at, 8);
            DES_ecb_encrypt(&in, &out, &s1, DES_ENCRYPT);
            DES_ecb3_encrypt(&in, &out3, &s1, &s2, &s1, DES_ENCRYPT);
            EXPECT_EQ(std::memcmp(single.data() + at, out, 8), 0) << "DES block " << at / 8;
            EXPECT_EQ(std::memcmp(triple.data() + at, out3, 8), 0) << "3DES block " << at / 8;
        }
        k1.cryptBlocks(single.data(), data.size() / 8, Direction::decipher);
        EXPECT_EQ(single, data);
    }
}

// Published-order Blowfish over the library's constants, to hold them against OpenSSL's.
struct PublishedBlowfish {
    blowfish::BlowfishEngine state;
    std::uint32_t f(std::uint32_t x) const {
        return ((state.s[0][x >> 24] + state.s[1][(x >> 16) & 255]) ^ state.s[2][(x >> 8) & 255]) + state.s[3][x & 255];
    }
    void encipher(std::uint32_t& l, std::uint32_t& r) const {
        for (int i = 0; i < 16; ++i) {
            l ^= state.p[i];
            r ^= f(l);
            std::swap(l, r);
        }
        std::swap(l, r);
        r ^= state.p[16];
        l ^= state.p[17];
    }
    void reset() {
        state.p = blowfish::initialP;
        state.s = blowfish::initialS;
    }
    explicit PublishedBlowfish(const std::vector<std::uint8_t>& key) {
        reset();
        for (std::size_t i = 0; i < 18; ++i) {
            std::uint32_t word = 0;
            for (std::size_t j = 0; j < 4; ++j) word = word << 8 | key[(4 * i + j) % key.size()];
            state.p[i] ^= word;
        }
        std::uint32_t l = 0, r = 0;
        for (std::size_t i = 0; i < 18; i += 2) encipher(l, r), state.p[i] = l, state.p[i + 1] = r;
        for (auto& box : state.s)
            for (std::size_t i = 0; i < 256; i += 2) encipher(l, r), box[i] = l, box[i + 1] = r;
    }
};

TEST(Blowfish, ConstantsAreThePublishedOnes) {
    std::mt19937 rng(4);
    for (int round = 0; round < 50; ++round) {
        const auto key = randomBytes(rng, 1 + rng() % 56);
        const PublishedBlowfish ours(key);
        BF_KEY theirs;
        BF_set_key(&theirs, static_cast<int>(key.size()), key.data());
        std::uint32_t l = rng(), r = rng();
        BF_LONG block[2] = {l, r};
        ours.encipher(l, r);
        BF_encrypt(block, &theirs);
        EXPECT_EQ(l, block[0]);
        EXPECT_EQ(r, block[1]);
    }
}

TEST(Blowfish, UnkeyedInBothByteOrders) {
    // The library's order gives 01 F5 D2 A3 C5 23 D4 B7; the published order, on the same
    // unkeyed tables, 70 6D 9F CC 17 92 D2 3A.
    std::uint8_t block[8] = {};
    DoBlowfish(block, 8, nullptr, 0, 0);
    const std::uint8_t library[8] = {0x01, 0xF5, 0xD2, 0xA3, 0xC5, 0x23, 0xD4, 0xB7};
    EXPECT_EQ(std::memcmp(block, library, 8), 0);
    PublishedBlowfish published({0});
    published.reset();
    std::uint32_t l = 0, r = 0;
    published.encipher(l, r);
    EXPECT_EQ(l, 0x706D9FCCu);
    EXPECT_EQ(r, 0x1792D23Au);
}

// Many threads make their first calls at once; each must get what a lone call gets.
TEST(Ciphers, ConcurrentCallsGiveLoneCallResults) {
    struct Job {
        std::vector<std::uint8_t> key, data, aesExpected, blowfishExpected;
    };
    std::mt19937 rng(6);
    std::vector<Job> jobs(16);
    for (auto& job : jobs) {
        job.key = randomBytes(rng, 32);
        job.data = randomBytes(rng, 4096);
    }
    const auto run = [](Job& job, std::vector<std::uint8_t>& aesOut, std::vector<std::uint8_t>& bfOut) {
        for (int repeat = 0; repeat < 20; ++repeat) {
            aesOut = job.data;
            bfOut = job.data;
            DoAES(aesOut.data(), 4096, job.key.data(), 8 * (1 + repeat % 4), repeat % 2);
            DoBlowfish(bfOut.data(), 4096, job.key.data(), 1 + repeat % 32, repeat % 2);
        }
    };
    std::vector<std::thread> threads;
    std::vector<std::vector<std::uint8_t>> aesOut(jobs.size()), bfOut(jobs.size());
    for (std::size_t i = 0; i < jobs.size(); ++i) threads.emplace_back(run, std::ref(jobs[i]), std::ref(aesOut[i]), std::ref(bfOut[i]));
    for (auto& thread : threads) thread.join();
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        std::vector<std::uint8_t> aesAlone, bfAlone;
        run(jobs[i], aesAlone, bfAlone);
        EXPECT_EQ(aesOut[i], aesAlone);
        EXPECT_EQ(bfOut[i], bfAlone);
    }
}

}  // namespace
}  // namespace tessaly
