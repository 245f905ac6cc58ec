// Each peer keyed once where a bulk row times only the cipher, re-keyed per call where the row
// is key set-up plus one block, as DoAES and DoBlowfish do on every call.
#define CRYPTOPP_ENABLE_NAMESPACE_WEAK 1
#include "peers.h"

#include <botan/base64.h>
#include <botan/bigint.h>
#include <botan/block_cipher.h>
#include <botan/hash.h>
#include <botan/mac.h>
#include <botan/numthry.h>
#include <cryptopp/aes.h>
#include <cryptopp/base64.h>
#include <cryptopp/blowfish.h>
#include <cryptopp/des.h>
#include <cryptopp/filters.h>
#include <cryptopp/hmac.h>
#include <cryptopp/integer.h>
#include <cryptopp/md5.h>
#include <cryptopp/modes.h>
#include <cryptopp/nbtheory.h>
#include <cryptopp/sha.h>
#include <gmp.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/provider.h>

#include <cstdio>
#include <cstring>
#include <memory>

namespace tessaly::bench {
namespace {

// One OpenSSL cipher context per cipher, keyed once; the bulk rows time EVP_CipherUpdate.
struct OpenSslCipher {
    EVP_CIPHER_CTX* context = EVP_CIPHER_CTX_new();
    EVP_CIPHER* cipher;
    OpenSslCipher(const char* name, const std::uint8_t* key, int encrypt)
        : cipher(EVP_CIPHER_fetch(nullptr, name, nullptr)) {
        if (cipher == nullptr) {
            std::fprintf(stderr, "OpenSSL has no %s\n", name);
            std::exit(1);
        }
        EVP_CipherInit_ex2(context, cipher, key, nullptr, encrypt, nullptr);
        EVP_CIPHER_CTX_set_padding(context, 0);
    }
    void update(std::uint8_t* data, std::size_t length) const {
        int written = 0;
        EVP_CipherUpdate(context, data, &written, data, static_cast<int>(length));
    }
    // Key set-up and one block, as a small call does.
    void rekeyAndUpdate(const std::uint8_t* key, std::uint8_t* data, std::size_t length) const {
        EVP_CipherInit_ex2(context, nullptr, key, nullptr, -1, nullptr);
        update(data, length);
    }
};

std::shared_ptr<Botan::BlockCipher> botanCipher(const char* name, const std::vector<std::uint8_t>& key,
                                                std::size_t keyLength) {
    std::shared_ptr<Botan::BlockCipher> cipher = Botan::BlockCipher::create_or_throw(name);
    cipher->set_key(key.data(), keyLength);
    return cipher;
}

// The four bytes of RSA group g as the decimal text DoRSA reads them from.
void groupText(const Buffers& b, std::size_t g, char (&text)[16]) {
    const std::uint8_t* group = b.rsaData.data() + 4 * g;
    std::snprintf(text, sizeof text, "%lu",
                  static_cast<unsigned long>(std::uint32_t{group[0]} << 24 | group[1] << 16 | group[2] << 8 | group[3]));
}

// The same work as DoRSA direction 0: each group's text read, raised, written as text.
void gmpRsa(Buffers& b) {
    static const struct Key {
        mpz_t exponent, modulus;
        Key() {
            mpz_init_set_str(exponent, rsaExponent, 10);
            mpz_init_set_str(modulus, rsaModulus, 10);
        }
    } key;
    mpz_t number, result;
    mpz_init(number);
    mpz_init(result);
    char* out = reinterpret_cast<char*>(b.output.data());
    for (std::size_t g = 0; g < rsaGroups; ++g) {
        char text[16];
        groupText(b, g, text);
        mpz_set_str(number, text, 10);
        mpz_powm(result, number, key.exponent, key.modulus);
        mpz_get_str(out, 10, result);
        out += std::strlen(out);
        *out++ = ' ';
    }
    mpz_clear(number);
    mpz_clear(result);
}

void botanRsa(Buffers& b) {
    static const Botan::BigInt exponent(rsaExponent), modulus(rsaModulus);
    std::string out;
    for (std::size_t g = 0; g < rsaGroups; ++g) {
        char text[16];
        groupText(b, g, text);
        out += Botan::power_mod(Botan::BigInt(text), exponent, modulus).to_dec_string();
        out += ' ';
    }
    std::memcpy(b.output.data(), out.data(), out.size());
}

void cryptoppRsa(Buffers& b) {
    static const CryptoPP::Integer exponent(rsaExponent), modulus(rsaModulus);
    std::string out;
    for (std::size_t g = 0; g < rsaGroups; ++g) {
        char text[16];
        groupText(b, g, text);
        out += CryptoPP::IntToString(CryptoPP::ModularExponentiation(CryptoPP::Integer(text), exponent, modulus));
        out += ' ';
    }
    std::memcpy(b.output.data(), out.data(), out.size());
}

template <typename Mode>
std::shared_ptr<Mode> cryptoppCipher(const std::vector<std::uint8_t>& key, std::size_t keyLength) {
    return std::make_shared<Mode>(key.data(), keyLength);
}

}  // namespace

std::map<std::string, std::vector<Peer>> peers(Buffers& b) {
    // DES and Blowfish live in OpenSSL's legacy provider.
    OSSL_PROVIDER_load(nullptr, "legacy");
    OSSL_PROVIDER_load(nullptr, "default");
    auto* data = b.data.data();
    auto* out = b.output.data();
    const auto& key = b.key;

    const auto osslAesE = std::make_shared<OpenSslCipher>("AES-128-ECB", key.data(), 1);
    const auto osslAesD = std::make_shared<OpenSslCipher>("AES-128-ECB", key.data(), 0);
    const auto osslDes = std::make_shared<OpenSslCipher>("DES-ECB", key.data(), 1);
    const auto osslDesEde = std::make_shared<OpenSslCipher>("DES-EDE-ECB", key.data(), 1);
    const auto osslBf = std::make_shared<OpenSslCipher>("BF-ECB", key.data(), 1);
    const auto botanAes = botanCipher("AES-128", key, 16);
    const auto botanDes = botanCipher("DES", key, 8);
    const auto botanDesEde = botanCipher("TripleDES", key, 16);
    const auto botanBf = botanCipher("Blowfish", key, 16);
    const auto botanBfRekeyed = botanCipher("Blowfish", key, 16);
    const auto botanAesRekeyed = botanCipher("AES-128", key, 16);
    std::shared_ptr<Botan::HashFunction> botanSha = Botan::HashFunction::create_or_throw("SHA-256");
    std::shared_ptr<Botan::HashFunction> botanMd5 = Botan::HashFunction::create_or_throw("MD5");
    std::shared_ptr<Botan::MessageAuthenticationCode> botanHmac =
        Botan::MessageAuthenticationCode::create_or_throw("HMAC(MD5)");
    const auto cppAesE = cryptoppCipher<CryptoPP::ECB_Mode<CryptoPP::AES>::Encryption>(key, 16);
    const auto cppAesD = cryptoppCipher<CryptoPP::ECB_Mode<CryptoPP::AES>::Decryption>(key, 16);
    const auto cppDes = cryptoppCipher<CryptoPP::ECB_Mode<CryptoPP::DES>::Encryption>(key, 8);
    const auto cppDesEde = cryptoppCipher<CryptoPP::ECB_Mode<CryptoPP::DES_EDE2>::Encryption>(key, 16);
    const auto cppBf = cryptoppCipher<CryptoPP::ECB_Mode<CryptoPP::Blowfish>::Encryption>(key, 16);
    const auto cppAesBlock = std::make_shared<CryptoPP::AES::Encryption>();
    const auto cppBfBlock = std::make_shared<CryptoPP::Blowfish::Encryption>();

    const Peer copy{"memcpy", "memcpy", [=] { std::memcpy(out, data, megabyte); }};
    const std::size_t textSize = b.base64Text.size();
    const auto* text = b.base64Text.data();
    return {
        {"DoAES-128 encipher",
         {{"OpenSSL", "aes-128-ecb", [=] { osslAesE->update(data, megabyte); }},
          {"Botan", "AES-128 encrypt_n", [=] { botanAes->encrypt_n(data, data, megabyte / 16); }},
          {"Crypto++", "ECB_Mode<AES>", [=] { cppAesE->ProcessData(data, data, megabyte); }}}},
        {"DoAES-128 decipher",
         {{"OpenSSL", "aes-128-ecb", [=] { osslAesD->update(data, megabyte); }},
          {"Botan", "AES-128 decrypt_n", [=] { botanAes->decrypt_n(data, data, megabyte / 16); }},
          {"Crypto++", "ECB_Mode<AES>", [=] { cppAesD->ProcessData(data, data, megabyte); }}}},
        {"DoAES-128 one block",
         {{"OpenSSL", "key set-up + block", [=] { osslAesE->rekeyAndUpdate(key.data(), data, 16); }},
          {"Botan", "set_key + encrypt",
           [=] {
               botanAesRekeyed->set_key(key.data(), 16);
               botanAesRekeyed->encrypt(data);
           }},
          {"Crypto++", "SetKey + ProcessBlock",
           [=] {
               cppAesBlock->SetKey(key.data(), 16);
               cppAesBlock->ProcessBlock(data);
           }}}},
        {"DoDES",
         {{"OpenSSL", "des-ecb", [=] { osslDes->update(data, megabyte); }},
          {"Botan", "DES encrypt_n", [=] { botanDes->encrypt_n(data, data, megabyte / 8); }},
          {"Crypto++", "ECB_Mode<DES>", [=] { cppDes->ProcessData(data, data, megabyte); }}}},
        {"Do3DES",
         {{"OpenSSL", "des-ede-ecb", [=] { osslDesEde->update(data, megabyte); }},
          {"Botan", "TripleDES encrypt_n", [=] { botanDesEde->encrypt_n(data, data, megabyte / 8); }},
          {"Crypto++", "ECB_Mode<DES_EDE2>", [=] { cppDesEde->ProcessData(data, data, megabyte); }}}},
        {"DoBlowfish",
         {{"OpenSSL", "bf-ecb", [=] { osslBf->update(data, megabyte); }},
          {"Botan", "Blowfish encrypt_n", [=] { botanBf->encrypt_n(data, data, megabyte / 8); }},
          {"Crypto++", "ECB_Mode<Blowfish>", [=] { cppBf->ProcessData(data, data, megabyte); }}}},
        {"DoBlowfish one block",
         {{"OpenSSL", "key set-up + block", [=] { osslBf->rekeyAndUpdate(key.data(), data, 8); }},
          {"Botan", "set_key + encrypt",
           [=] {
               botanBfRekeyed->set_key(key.data(), 16);
               botanBfRekeyed->encrypt(data);
           }},
          {"Crypto++", "SetKey + ProcessBlock",
           [=] {
               cppBfBlock->SetKey(key.data(), 16);
               cppBfBlock->ProcessBlock(data);
           }}}},
        {"DoRSA, 64 groups",
         {{"GMP", "set_str, powm, get_str", [&b] { gmpRsa(b); }},
          {"Botan", "BigInt, power_mod, to_dec_string", [&b] { botanRsa(b); }},
          {"Crypto++", "Integer, ModularExponentiation, IntToString", [&b] { cryptoppRsa(b); }}}},
        {"Exclusive_OR chain", {copy}},
        {"Exclusive_OR unchain", {copy}},
        {"Shift_Data to start", {copy}},
        {"Shift_Data to end", {copy}},
        {"Substitution T", {copy}},
        {"Substitution U", {copy}},
        {"DoBASE64 encode",
         {{"OpenSSL", "EVP_EncodeBlock", [=] { EVP_EncodeBlock(out, data, megabyte); }},
          {"Botan", "base64_encode",
           [=] {
               std::size_t consumed = 0;
               Botan::base64_encode(reinterpret_cast<char*>(out), data, megabyte, consumed, true);
           }},
          {"Crypto++", "Base64Encoder, no line breaks",
           [=] {
               CryptoPP::ArraySource(data, megabyte, true,
                                     new CryptoPP::Base64Encoder(new CryptoPP::ArraySink(out, 2 * megabyte), false));
           }}}},
        {"DoBASE64 decode",
         {{"OpenSSL", "EVP_DecodeBlock", [=] { EVP_DecodeBlock(out, text, static_cast<int>(textSize)); }},
          {"Botan", "base64_decode",
           [=] { Botan::base64_decode(out, reinterpret_cast<const char*>(text), textSize, false); }},
          {"Crypto++", "Base64Decoder",
           [=] {
               CryptoPP::ArraySource(text, textSize, true,
                                     new CryptoPP::Base64Decoder(new CryptoPP::ArraySink(out, 2 * megabyte)));
           }}}},
        {"SHA_256",
         {{"OpenSSL", "EVP_Digest SHA-256",
           [=] { EVP_Digest(data, megabyte, out, nullptr, EVP_sha256(), nullptr); }},
          {"Botan", "SHA-256",
           [=] {
               botanSha->update(data, megabyte);
               botanSha->final(out);
           }},
          {"Crypto++", "SHA256", [=] { CryptoPP::SHA256().CalculateDigest(out, data, megabyte); }}}},
        {"MD5_Ex (MD5)",
         {{"OpenSSL", "EVP_Digest MD5", [=] { EVP_Digest(data, megabyte, out, nullptr, EVP_md5(), nullptr); }},
          {"Botan", "MD5",
           [=] {
               botanMd5->update(data, megabyte);
               botanMd5->final(out);
           }},
          {"Crypto++", "Weak::MD5", [=] { CryptoPP::Weak::MD5().CalculateDigest(out, data, megabyte); }}}},
        {"MD5_Ex (HMAC-MD5)",
         {{"OpenSSL", "HMAC one-shot MD5",
           [=] { HMAC(EVP_md5(), key.data(), 16, data, hmacMessageSize, out, nullptr); }},
          {"Botan", "HMAC(MD5), keyed per call",
           [=] {
               botanHmac->set_key(key.data(), 16);
               botanHmac->update(data, hmacMessageSize);
               botanHmac->final(out);
           }},
          {"Crypto++", "HMAC<Weak::MD5>, keyed per call",
           [=] { CryptoPP::HMAC<CryptoPP::Weak::MD5>(key.data(), 16).CalculateDigest(out, data, hmacMessageSize); }}}},
    };
}

}  // namespace tessaly::bench
