// MD5_Ex and SHA_256 through the DLL: published suites and files, padding boundaries, the
// key rules of MD5_Ex, overlapping buffers and the exact size written.
#include <algorithm>
#include <string>
#include <vector>

#include "common/test_vectors.h"
#include "dll_under_test.h"

namespace tessaly::host {
namespace {

using testing::bytesOf;
using testing::fromHex;
using testing::toHex;

constexpr std::uint8_t guard = 0xA5;

// Calls MD5_Ex into a buffer with guard bytes; checks that exactly 16 bytes were written.
std::string md5Ex(const std::vector<std::uint8_t>& data, const std::uint8_t* key,
                  std::int32_t keyLength) {
    std::vector<std::uint8_t> digest(16 + 8, guard);
    callExport<void>("MD5_Ex", data.data(), static_cast<std::uint32_t>(data.size()), key,
                     keyLength, digest.data());
    EXPECT_TRUE(std::all_of(digest.begin() + 16, digest.end(), [](auto b) { return b == guard; }))
        << "MD5_Ex wrote past 16 bytes";
    return toHex(digest.data(), 16);
}

std::string md5(const std::vector<std::uint8_t>& data) { return md5Ex(data, nullptr, 0); }

std::string hmacMd5(const std::vector<std::uint8_t>& key, const std::vector<std::uint8_t>& data) {
    return md5Ex(data, key.data(), static_cast<std::int32_t>(key.size()));
}

std::string sha256(const std::vector<std::uint8_t>& data) {
    std::vector<std::uint8_t> digest(32 + 8, guard);
    callExport<void>("SHA_256", data.data(), static_cast<std::uint32_t>(data.size()), digest.data());
    EXPECT_TRUE(std::all_of(digest.begin() + 32, digest.end(), [](auto b) { return b == guard; }))
        << "SHA_256 wrote past 32 bytes";
    return toHex(digest.data(), 32);
}

std::string upper(std::string hex) {
    for (auto& c : hex) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return hex;
}

TEST(MD5_Ex, Rfc1321Suite) {
    const std::pair<std::string, std::string> suite[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const auto& [message, expected] : suite) EXPECT_EQ(md5(bytesOf(message)), upper(expected)) << message;
}

TEST(MD5_Ex, NoKeyMeansPlainMd5AndTheKeyIsNotRead) {
    const auto data = bytesOf("abc");
    for (std::int32_t keyLength : {0, -1, -64, -2147483647 - 1})
        EXPECT_EQ(md5Ex(data, nullptr, keyLength), "900150983CD24FB0D6963F7D28E17F72") << keyLength;
}

TEST(MD5_Ex, Rfc2202HmacCases) {
    struct Case {
        std::vector<std::uint8_t> key, data;
        const char* mac;
    };
    std::vector<std::uint8_t> key25;
    for (int i = 1; i <= 25; ++i) key25.push_back(static_cast<std::uint8_t>(i));
    const Case cases[] = {
        {std::vector<std::uint8_t>(16, 0x0b), bytesOf("Hi There"), "9294727a3638bb1c13f48ef8158bfc9d"},
        {bytesOf("Jefe"), bytesOf("what do ya want for nothing?"), "750c783e6ab0b503eaa86e310a5db738"},
        {std::vector<std::uint8_t>(16, 0xaa), std::vector<std::uint8_t>(50, 0xdd), "56be34521d144c88dbb8c733f0e8b3f6"},
        {key25, std::vector<std::uint8_t>(50, 0xcd), "697eaf0aca3a3aea3a75164746ffaa79"},
        {std::vector<std::uint8_t>(16, 0x0c), bytesOf("Test With Truncation"), "56461ef2342edc00f9bab995690efd4c"},
        {std::vector<std::uint8_t>(80, 0xaa), bytesOf("Test Using Larger Than Block-Size Key - Hash Key First"),
         "6b1ab7fe4bd7bf8f0b62e6ce61b9d0cd"},
        {std::vector<std::uint8_t>(80, 0xaa),
         bytesOf("Test Using Larger Than Block-Size Key and Larger Than One Block-Size Data"),
         "6f630fad67cda0ee1fb1f562db3aa53e"},
    };
    for (const Case& c : cases) EXPECT_EQ(hmacMd5(c.key, c.data), upper(c.mac)) << c.mac;
}

// A 64-byte key is used as it is, a longer one is replaced by its digest: both checked
// against HMAC built by hand from plain MD5 calls.
TEST(MD5_Ex, KeyLengthRules) {
    const auto data = bytesOf("the message");
    const auto byHand = [&](std::vector<std::uint8_t> key) {
        key.resize(64, 0);
        std::vector<std::uint8_t> inner(key), outer(key);
        for (auto& b : inner) b ^= 0x36;
        for (auto& b : outer) b ^= 0x5c;
        inner.insert(inner.end(), data.begin(), data.end());
        const auto innerDigest = fromHex(md5(inner));
        outer.insert(outer.end(), innerDigest.begin(), innerDigest.end());
        return md5(outer);
    };
    std::vector<std::uint8_t> key64(64), key65(65);
    for (std::size_t i = 0; i < key65.size(); ++i) key65[i] = static_cast<std::uint8_t>(i * 13 + 5);
    std::copy(key65.begin(), key65.begin() + 64, key64.begin());
    EXPECT_EQ(hmacMd5(key64, data), byHand(key64));
    EXPECT_EQ(hmacMd5(key65, data), byHand(fromHex(md5(key65))));
    EXPECT_NE(hmacMd5(key64, data), hmacMd5(key65, data));
}

TEST(SHA_256, Fips180Examples) {
    EXPECT_EQ(sha256(bytesOf("abc")),
              "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD");
    EXPECT_EQ(sha256(bytesOf("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")),
              "248D6A61D20638B8E5C026930C3E6039A33CE45964FF2167F6ECEDD419DB06C1");
    EXPECT_EQ(sha256(std::vector<std::uint8_t>(1000000, 'a')),
              "CDC76E5C9914FB9281A1C7E284D73E67F1809A48A497200E046D39CCC7112CD0");
}

// Messages of byte i = 7i + 1 around the padding boundaries, the empty one included; the
// digests come from an independent implementation.
TEST(Digests, PaddingBoundaries) {
    struct Case {
        std::size_t length;
        const char *md5, *sha256, *hmacMd5UnderKey;
    };
    const Case cases[] = {
        {0, "D41D8CD98F00B204E9800998ECF8427E", "E3B0C44298FC1C149AFBF4C8996FB92427AE41E4649B934CA495991B7852B855", "63530468A04E386459855DA0063B6596"},
        {1, "55A54008AD1BA589AA210D2629C1DF41", "4BF5122F344554C53BDE2EBB8CD2B7E3D1600AD631C385A5D7CCE23C7785459A", "BBF528143C20F42341322CAAF85466F2"},
        {55, "8C3EB046BCDB1F0FFE75FDBAF890CF13", "16FA57A0A3423A715D594516339F36189D6B5F93754A9714FEF202616A9FABFE", "19991DFF6AAD96DBB6C83CCCCE74E53D"},
        {56, "D5E0FA3122448DDD3D843A9C5ED9E839", "C37B44E5F1B18554B36966F4F8E08BFBF3164C4B6C10374D12D89850892073C5", "338E72929678DE17BAF8A405BF904B9A"},
        {63, "1DD0D6DDEB881B118518C2881555F34B", "BBBA992D2C85AF960FB2987A1FD05E0AA82A3DB3C740DD8982A9E273B75E36A3", "B9A71B9C30D1429C9C73A1FFB55CC81C"},
        {64, "7B412E00D38C31B0845A4F502D39D5E3", "66BD4633ED6F71C4ECFA4763BF7BA1C8EC7612DE9AA6C0578A7B675207C71E0B", "ADF034A6196EE89E28DC52EC236FA96D"},
        {65, "BA03B626ACEB7B09C86C2D544AFE1DCE", "9F7DC47107B750A1F3D35DB5D9547F24EF40DA5B731B9540D4F43710A154F6C9", "6DB8B6B34F1645974B3E5FBE2A9B0A60"},
        {119, "DAC58560B386C3D5B29EBBDEC5197E10", "A3ED307B730FA77C07531300C6E4A282330011D4D4CAF6BB7B63AE05950F4B66", "E29F6D7D844AB590394FD40443D5D973"},
        {120, "6818845A0494B5FADE3155F6A8E47B15", "8E3B15D9FEA7472655AA069620B7F8C2E55EE1499F763200A7515FE826E99D20", "EC9A00ABBB362ACF6B6FCFD0B0C56714"},
        {127, "84C7B17567B70836D3B39CD28D4631B8", "44480FB9672845177F5368A08B69EA263275F2A5EC42E06A933370FE0D2968A4", "E08C8843BE55541B98A64A272A7513B6"},
        {128, "912F49566518D1B4C883F811D86DDECC", "E462C130FEF8C97E34F7DC3FF3AD2F8B3533AB849AF21C10531552A2852387A4", "875E3BB5C416E17F243AE888069F045F"},
        {1000, "7874D3C13D4ED33F057DEF947E0621EF", "095ECB62E30793AB4B954CD6A0586D0CC91F7EA5B1332694D8DA780E98676D78", "1104F8DAB06067C585C0CB38B0C7A39D"},
    };
    for (const Case& c : cases) {
        std::vector<std::uint8_t> message(c.length);
        for (std::size_t i = 0; i < c.length; ++i) message[i] = static_cast<std::uint8_t>(7 * i + 1);
        EXPECT_EQ(md5(message), c.md5) << c.length;
        EXPECT_EQ(sha256(message), c.sha256) << c.length;
        EXPECT_EQ(hmacMd5(bytesOf("key"), message), c.hmacMd5UnderKey) << c.length;
    }
}

TEST(Digests, DigestMayOverlapDataOrKey) {
    const auto data = bytesOf("overlapping buffers are fine when everything is read first");
    const auto key = bytesOf("secret key");
    const std::string expectedMd5 = md5(data), expectedSha = sha256(data),
                      expectedMac = hmacMd5(key, data);

    auto buffer = data;
    callExport<void>("MD5_Ex", buffer.data(), static_cast<std::uint32_t>(buffer.size()), nullptr, 0, buffer.data());
    EXPECT_EQ(toHex(buffer.data(), 16), expectedMd5);

    buffer = data;
    callExport<void>("SHA_256", buffer.data(), static_cast<std::uint32_t>(buffer.size()), buffer.data());
    EXPECT_EQ(toHex(buffer.data(), 32), expectedSha);

    buffer = data;
    callExport<void>("MD5_Ex", buffer.data(), static_cast<std::uint32_t>(buffer.size()), key.data(),
                     static_cast<std::int32_t>(key.size()), buffer.data());
    EXPECT_EQ(toHex(buffer.data(), 16), expectedMac) << "digest over the data";

    auto keyBuffer = key;
    keyBuffer.resize(16);  // room for the digest over the key
    callExport<void>("MD5_Ex", data.data(), static_cast<std::uint32_t>(data.size()), keyBuffer.data(),
                     static_cast<std::int32_t>(key.size()), keyBuffer.data());
    EXPECT_EQ(toHex(keyBuffer.data(), 16), expectedMac) << "digest over the key";
}

// ---- Published files ----

TEST(Digests, PublishedMd5AndSha256Files) {
    int checked = 0;
    for (const auto& [file, section] : {std::pair{"md5.vec", "MD5"}, std::pair{"sha256.vec", "SHA-256"}}) {
        TESSALY_REQUIRE_VECTORS(records, file);
        for (const auto& record : *records) {
            if (record.section != section) continue;
            const auto in = fromHex(record.fields.at("In"));
            const std::string out = upper(record.fields.at("Out"));
            EXPECT_EQ(std::string(section) == "MD5" ? md5(in) : sha256(in), out) << file << " line " << record.line;
            ++checked;
        }
    }
    EXPECT_EQ(checked, 78 + 392);
}

TEST(Digests, PublishedHmacMd5File) {
    TESSALY_REQUIRE_VECTORS(records, "hmac.vec");
    int checked = 0;
    for (const auto& record : *records) {
        if (record.section != "HMAC(MD5)") continue;
        const auto key = fromHex(record.fields.at("Key"));
        ASSERT_FALSE(key.empty()) << "an empty key would select plain MD5";
        EXPECT_EQ(hmacMd5(key, fromHex(record.fields.at("In"))), upper(record.fields.at("Out")))
            << "line " << record.line;
        ++checked;
    }
    EXPECT_EQ(checked, 4);
}

TEST(SHA_256, NistShortAndLongMessages) {
    for (const char* file : {"nist-sha256/SHA256ShortMsg.rsp", "nist-sha256/SHA256LongMsg.rsp"}) {
        TESSALY_REQUIRE_VECTORS(records, file);
        int checked = 0;
        for (const auto& record : *records) {
            if (!record.fields.count("MD")) continue;
            auto message = fromHex(record.fields.at("Msg"));
            message.resize(std::stoul(record.fields.at("Len")) / 8);  // Len 0 comes as "Msg = 00"
            EXPECT_EQ(sha256(message), upper(record.fields.at("MD"))) << file << " line " << record.line;
            ++checked;
        }
        EXPECT_EQ(checked, 64 + (std::string(file).find("Short") != std::string::npos));
    }
}

}  // namespace
}  // namespace tessaly::host
