// The digest engines: any chunking gives the one-shot digest, every SHA-256 compression path
// gives the same state, and MD5, HMAC-MD5 and SHA-256 agree with OpenSSL on random input.
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <algorithm>
#include <random>
#include <vector>

#include "crypto/md5.h"
#include "formats/digests.h"
#include "crypto/sha256.h"
#include "common/test_vectors.h"
#include "tessaly.h"

namespace tessaly {
namespace {

using testing::randomBytes;

// Feeds data to a digest stream in pieces of random sizes (0 included).
std::vector<std::uint8_t> streamed(std::mt19937& rng, formats::Digest digest, const std::vector<std::uint8_t>& key,
                                   const std::vector<std::uint8_t>& data) {
    formats::DigestStream stream(digest, key);
    for (std::size_t at = 0; at < data.size();) {
        const std::size_t piece = std::min<std::size_t>(data.size() - at, rng() % 3 == 0 ? rng() % 4 : rng() % 300);
        stream.update(std::span<const std::uint8_t>(data.data() + at, piece));
        at += piece;
    }
    std::vector<std::uint8_t> out(formats::digestSizeOf(digest));
    EXPECT_EQ(stream.finish(out.data()), out.size());
    return out;
}

TEST(Digests, AnyChunkingGivesTheOneShotDigest) {
    std::mt19937 rng(5);
    for (int round = 0; round < 300; ++round) {
        const auto data = randomBytes(rng, rng() % 2000);
        const auto key = randomBytes(rng, 1 + rng() % 100);
        std::vector<std::uint8_t> md5Once(16), hmacOnce(16), shaOnce(32);
        md5::digest(data, md5Once.data());
        md5::hmac(key, data, hmacOnce.data());
        sha256::digest(data, shaOnce.data());
        EXPECT_EQ(streamed(rng, formats::Digest::md5, {}, data), md5Once);
        EXPECT_EQ(streamed(rng, formats::Digest::hmacMd5, key, data), hmacOnce);
        EXPECT_EQ(streamed(rng, formats::Digest::sha256, {}, data), shaOnce);
    }
}

template <typename Context>
bool allZero(const Context& context) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(&context);
    return std::all_of(bytes, bytes + sizeof context, [](auto b) { return b == 0; });
}

TEST(Digests, FinishWipesTheContext) {
    const std::uint8_t data[100] = {1, 2, 3};
    std::uint8_t digest[32];
    md5::MD5Context md5Context;
    md5::initialise(md5Context);
    md5::update(md5Context, data);
    md5::finish(md5Context, digest);
    EXPECT_TRUE(allZero(md5Context));
    md5::HmacContext hmacContext;
    md5::initialise(hmacContext, std::span<const std::uint8_t>(data, 3));
    md5::update(hmacContext, data);
    md5::finish(hmacContext, digest);
    EXPECT_TRUE(allZero(hmacContext));
    sha256::SHA256Context shaContext;
    sha256::initialise(shaContext);
    sha256::update(shaContext, data);
    sha256::finish(shaContext, digest);
    EXPECT_TRUE(allZero(shaContext));
}

TEST(Sha256, EveryCompressionPathGivesTheSameState) {
    const auto paths = sha256::availablePaths();
    ASSERT_STREQ(paths[0].name, "portable");
    if (paths.size() == 1) GTEST_SKIP() << "this processor has no SHA extensions; only the portable path runs";
    std::mt19937 rng(11);
    for (int round = 0; round < 500; ++round) {
        std::array<std::uint32_t, 8> start;
        for (auto& word : start) word = rng();
        const std::size_t blocks = 1 + rng() % 5;
        const auto data = randomBytes(rng, blocks * 64);
        auto expected = start;
        paths[0].compress(expected, data.data(), blocks);
        for (const auto& path : paths.subspan(1)) {
            auto state = start;
            path.compress(state, data.data(), blocks);
            EXPECT_EQ(state, expected) << path.name;
        }
    }
}

std::vector<std::uint8_t> openSslDigest(const EVP_MD* md, const std::vector<std::uint8_t>& data) {
    std::vector<std::uint8_t> out(EVP_MD_get_size(md));
    unsigned length = 0;
    EVP_Digest(data.data(), data.size(), out.data(), &length, md, nullptr);
    return out;
}

TEST(Digests, AgreeWithOpenSslOnRandomInput) {
    std::mt19937 rng(3);
    for (int round = 0; round < 120; ++round) {
        const std::size_t length = round < 100 ? rng() % 4096 : rng() % (1 << 20);
        const auto data = randomBytes(rng, length);
        const auto key = randomBytes(rng, 1 + rng() % 200);

        std::vector<std::uint8_t> ours(32);
        MD5_Ex(data.data(), static_cast<std::uint32_t>(length), nullptr, 0, ours.data());
        EXPECT_EQ(std::vector(ours.begin(), ours.begin() + 16), openSslDigest(EVP_md5(), data)) << length;

        SHA_256(data.data(), static_cast<std::uint32_t>(length), ours.data());
        EXPECT_EQ(ours, openSslDigest(EVP_sha256(), data)) << length;

        std::vector<std::uint8_t> theirs(16);
        unsigned macLength = 0;
        HMAC(EVP_md5(), key.data(), static_cast<int>(key.size()), data.data(), length, theirs.data(), &macLength);
        MD5_Ex(data.data(), static_cast<std::uint32_t>(length), key.data(), static_cast<std::int32_t>(key.size()),
               ours.data());
        EXPECT_EQ(std::vector(ours.begin(), ours.begin() + 16), theirs) << "key of " << key.size();
    }
}

}  // namespace
}  // namespace tessaly
