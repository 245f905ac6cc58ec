// The same operations on every target: `write FILE` records what this target's library makes of
// fixed inputs (every cipher, digest, Base64 and DoRSA); `read FILE` takes another target's
// record, checks that this library makes the same bytes, and deciphers, decodes or turns back
// what the other one made. Exits non-zero on any difference.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "common/fixed_input.h"
#include "common/library_under_test.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

using tessaly::testing::input;

constexpr std::size_t lengths[] = {1, 8, 13, 100, 1024};
const Bytes desKey = input(8, 1), tripleKey = input(16, 2), blowfishKey = input(56, 3);
Bytes blowfishKeyWithZero() {  // used only up to its first zero byte
    Bytes key = input(12, 4);
    key[5] = 0;
    return key;
}
const Bytes hmacShortKey = input(20, 5), hmacLongKey = input(100, 6);

struct RsaKey {
    const char* name;
    const char* publicExponent;
    const char* privateExponent;
    const char* modulus;
};
const RsaKey rsaKeys[] = {
    {"rsa64", "65537", "9331878932546167513", "18446743979220271189"},
    {"rsa320", "65537",
     "595002844254603643756862376211756880010222354058419956764470010222632702953891613511440799361409",
     "1072225621533049906535786668219036258392816278541629609211822135367059768953168804598511592081539"},
};

Bytes padded(Bytes bytes, std::size_t block) {
    bytes.resize((bytes.size() + block - 1) / block * block, 0);
    return bytes;
}

// One kind of record: how this target makes it from the plaintext, and how it turns another
// target's bytes back into the plaintext it must equal (empty for the digests).
struct Kind {
    std::function<Bytes(const Bytes&)> make;
    std::function<Bytes(const Bytes&)> undo;
    std::size_t block;  // what the undone bytes equal: the plaintext padded to this
};

using Cipher = std::function<void(std::uint8_t*, std::int32_t, std::int32_t mode)>;
Kind blockCipher(Cipher cipher, std::size_t block, std::int32_t encipher, std::int32_t decipher) {
    return {[=](const Bytes& plain) {
                Bytes buffer = padded(plain, block);
                cipher(buffer.data(), static_cast<std::int32_t>(plain.size()), encipher);
                return buffer;
            },
            [=](Bytes buffer) {
                cipher(buffer.data(), static_cast<std::int32_t>(buffer.size()), decipher);
                return buffer;
            },
            block};
}

std::map<std::string, Kind> kinds() {
    std::map<std::string, Kind> all;
    auto doDes = EXPORT(DoDES);
    auto do3Des = EXPORT(Do3DES);
    auto doAes = EXPORT(DoAES);
    auto doBlowfish = EXPORT(DoBlowfish);
    all["des"] = blockCipher([=](std::uint8_t* b, std::int32_t n, std::int32_t m) { doDes(b, n, desKey.data(), m); }, 8, 0, 1);
    all["3des"] = blockCipher([=](std::uint8_t* b, std::int32_t n, std::int32_t m) { do3Des(b, n, tripleKey.data(), m); }, 8, 0, 1);
    for (std::int32_t size : {16, 24, 32}) {
        const Bytes key = input(size, 10 + size);
        all["aes" + std::to_string(8 * size)] = blockCipher(
            [=](std::uint8_t* b, std::int32_t n, std::int32_t m) { doAes(b, n, key.data(), size, m); }, 16, 0, 1);
    }
    all["blowfish56"] = blockCipher(
        [=](std::uint8_t* b, std::int32_t n, std::int32_t m) { doBlowfish(b, n, blowfishKey.data(), 56, m); }, 8, 0, 1);
    const Bytes zeroKey = blowfishKeyWithZero();
    all["blowfish-zero-in-key"] = blockCipher(
        [=](std::uint8_t* b, std::int32_t n, std::int32_t m) { doBlowfish(b, n, zeroKey.data(), 12, m); }, 8, 0, 1);

    auto sha256 = EXPORT(SHA_256);
    auto md5 = EXPORT(MD5_Ex);
    all["sha256"] = {[=](const Bytes& plain) {
                         Bytes digest(32);
                         sha256(plain.data(), static_cast<std::uint32_t>(plain.size()), digest.data());
                         return digest;
                     }, nullptr, 1};
    for (const auto& keyed : {std::pair{"md5", Bytes{}}, std::pair{"hmac-md5-20", hmacShortKey},
                              std::pair{"hmac-md5-100", hmacLongKey}}) {
        const Bytes key = keyed.second;
        all[keyed.first] = {[=](const Bytes& plain) {
                         Bytes digest(16);
                         md5(plain.data(), static_cast<std::uint32_t>(plain.size()), key.data(),
                             static_cast<std::int32_t>(key.size()), digest.data());
                         return digest;
                     }, nullptr, 1};
    }

    auto base64 = EXPORT(DoBASE64);
    all["base64"] = {[=](const Bytes& plain) {
                         Bytes text(4 * ((plain.size() + 2) / 3));
                         text.resize(base64(plain.data(), static_cast<std::int32_t>(plain.size()), text.data(), 0, 0));
                         return text;
                     },
                     [=](const Bytes& text) {
                         Bytes plain(text.size() / 4 * 3 + 1);
                         plain.resize(base64(text.data(), static_cast<std::int32_t>(text.size()), plain.data(), 0, 1));
                         return plain;
                     }, 1};

    auto rsa = EXPORT(DoRSA);
    for (const RsaKey& key : rsaKeys)
        all[key.name] = {[=](const Bytes& plain) {
                             Bytes line((plain.size() / 4 + 1) * (std::strlen(key.modulus) + 1) + 1);
                             std::int32_t length = 0;
                             if (rsa(plain.data(), static_cast<std::int32_t>(plain.size()), line.data(), &length,
                                     key.publicExponent, key.modulus, 0) != 0)
                                 return Bytes{};
                             line.resize(length);
                             return line;
                         },
                         [=](const Bytes& line) {
                             Bytes plain(line.size() * 4 + 1);
                             std::int32_t length = 0;
                             if (rsa(line.data(), static_cast<std::int32_t>(line.size()), plain.data(), &length,
                                     key.privateExponent, key.modulus, 1) != 0)
                                 return Bytes{};
                             plain.resize(length);
                             return plain;
                         }, 4};
    return all;
}

std::string hex(const Bytes& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (std::uint8_t byte : bytes) text += {digits[byte >> 4], digits[byte & 15]};
    return text.empty() ? "-" : text;
}

Bytes unhex(const std::string& text) {
    Bytes bytes;
    if (text == "-") return bytes;
    for (std::size_t i = 0; i + 1 < text.size(); i += 2) bytes.push_back(static_cast<std::uint8_t>(std::stoul(text.substr(i, 2), nullptr, 16)));
    return bytes;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 || (std::strcmp(argv[1], "write") != 0 && std::strcmp(argv[1], "read") != 0)) {
        std::fprintf(stderr, "usage: cross_target write|read FILE\n");
        return 2;
    }
    const auto all = kinds();
    if (std::strcmp(argv[1], "write") == 0) {
        std::ofstream out(argv[2], std::ios::binary);
        for (const auto& [name, kind] : all)
            for (std::size_t length : lengths)
                out << name << ' ' << length << ' ' << hex(kind.make(input(length, static_cast<std::uint32_t>(length)))) << '\n';
        return out ? 0 : 1;
    }

    std::ifstream in(argv[2], std::ios::binary);
    std::string name, made;
    std::size_t length = 0;
    unsigned records = 0, undone = 0, differences = 0;
    while (in >> name >> length >> made) {
        const auto kind = all.find(name);
        if (kind == all.end()) {
            std::fprintf(stderr, "unknown record %s\n", name.c_str());
            return 1;
        }
        ++records;
        const Bytes plain = input(length, static_cast<std::uint32_t>(length));
        const Bytes theirs = unhex(made);
        if (kind->second.make(plain) != theirs) {
            std::fprintf(stderr, "%s of %zu bytes: this target makes other bytes\n", name.c_str(), length);
            ++differences;
        }
        if (kind->second.undo) {
            ++undone;
            if (kind->second.undo(theirs) != padded(plain, kind->second.block)) {
                std::fprintf(stderr, "%s of %zu bytes: the other target's bytes do not turn back\n", name.c_str(), length);
                ++differences;
            }
        }
    }
    std::printf("%u records: %u equal, %u turned back into their input, %u differences\n", records,
                records - differences, undone, differences);
    return records > 0 && differences == 0 ? 0 : 1;
}
