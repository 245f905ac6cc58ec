// Times every workload on the native build of the core and on its best-known counterpart,
// reads the DLL's figures (from dll_bench under Wine), and prints the comparison table.
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/provider.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>

#include "workloads.h"

namespace {

struct Reference {
    std::string name;
    std::function<void()> run;
};

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

// The counterpart of each row, measured in the same run on the same buffers.
std::map<std::string, Reference> references(tessaly::bench::Buffers& b) {
    using tessaly::bench::megabyte;
    // DES and Blowfish live in OpenSSL's legacy provider.
    OSSL_PROVIDER_load(nullptr, "legacy");
    OSSL_PROVIDER_load(nullptr, "default");
    static const OpenSslCipher aesEncipher("AES-128-ECB", b.key.data(), 1);
    static const OpenSslCipher aesDecipher("AES-128-ECB", b.key.data(), 0);
    static const OpenSslCipher desEcb("DES-ECB", b.key.data(), 1);
    static const OpenSslCipher desEde("DES-EDE-ECB", b.key.data(), 1);
    static const OpenSslCipher bfEcb("BF-ECB", b.key.data(), 1);
    return {
        {"DoAES-128 encipher", {"OpenSSL aes-128-ecb", [&] { aesEncipher.update(b.data.data(), megabyte); }}},
        {"DoAES-128 decipher", {"OpenSSL aes-128-ecb", [&] { aesDecipher.update(b.data.data(), megabyte); }}},
        {"DoAES-128 one block",
         {"OpenSSL key set-up + block", [&] { aesEncipher.rekeyAndUpdate(b.key.data(), b.data.data(), 16); }}},
        {"DoDES", {"OpenSSL des-ecb", [&] { desEcb.update(b.data.data(), megabyte); }}},
        {"Do3DES", {"OpenSSL des-ede-ecb", [&] { desEde.update(b.data.data(), megabyte); }}},
        {"DoBlowfish", {"OpenSSL bf-ecb", [&] { bfEcb.update(b.data.data(), megabyte); }}},
        {"DoBlowfish one block",
         {"OpenSSL key set-up + block", [&] { bfEcb.rekeyAndUpdate(b.key.data(), b.data.data(), 8); }}},
        {"DoBASE64 encode",
         {"OpenSSL EVP_EncodeBlock",
          [&] { EVP_EncodeBlock(b.output.data(), b.data.data(), megabyte); }}},
        {"DoBASE64 decode",
         {"OpenSSL EVP_DecodeBlock",
          [&] {
              EVP_DecodeBlock(b.output.data(), b.base64Text.data(),
                              static_cast<int>(b.base64Text.size()));
          }}},
        {"SHA_256",
         {"OpenSSL EVP_Digest SHA-256",
          [&] { EVP_Digest(b.data.data(), megabyte, b.output.data(), nullptr, EVP_sha256(), nullptr); }}},
        {"MD5_Ex (MD5)",
         {"OpenSSL EVP_Digest MD5",
          [&] { EVP_Digest(b.data.data(), megabyte, b.output.data(), nullptr, EVP_md5(), nullptr); }}},
        {"MD5_Ex (HMAC-MD5)",
         {"OpenSSL HMAC one-shot MD5",
          [&] {
              HMAC(EVP_md5(), b.key.data(), 16, b.data.data(), tessaly::bench::hmacMessageSize,
                   b.output.data(), nullptr);
          }}},
    };
}

std::map<std::string, double> readDllFigures(const char* file) {
    std::map<std::string, double> figures;
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);) {
        const auto tab = line.find('\t');
        if (tab != std::string::npos) figures[line.substr(0, tab)] = std::stod(line.substr(tab + 1));
    }
    return figures;
}

}  // namespace

int main(int argc, char** argv) {
    const auto dll = argc > 1 ? readDllFigures(argv[1]) : std::map<std::string, double>{};
    tessaly::bench::Exports exports;
    exports.doBase64 = &DoBASE64;
    exports.md5Ex = &MD5_Ex;
    exports.sha256 = &SHA_256;
    exports.doDes = &DoDES;
    exports.do3Des = &Do3DES;
    exports.doAes = &DoAES;
    exports.doBlowfish = &DoBlowfish;
    tessaly::bench::Buffers buffers(exports);
    const auto counterparts = references(buffers);

    std::printf("MB/s for 1 MiB payloads, ns per call for small ones; median of 7 runs.\n"
                "The last column is the DLL's speed over the counterpart's (above 1: faster).\n\n");
    std::printf("| %-18s | %9s | %14s | %11s | %-26s | %11s | %17s |\n", "Export", "payload",
                "DLL under Wine", "native core", "Counterpart (native)", "counterpart",
                "DLL / counterpart");
    std::printf("|%s|%s|%s|%s|%s|%s|%s|\n", std::string(20, '-').c_str(), std::string(11, '-').c_str(),
                std::string(16, '-').c_str(), std::string(13, '-').c_str(), std::string(28, '-').c_str(),
                std::string(13, '-').c_str(), std::string(19, '-').c_str());
    for (const auto& workload : tessaly::bench::workloads(exports, buffers)) {
        const double native = tessaly::bench::medianMegabytesPerSecond(workload.run, workload.bytes);
        const auto reference = counterparts.find(workload.name);
        const double counterpart =
            reference == counterparts.end()
                ? 0
                : tessaly::bench::medianMegabytesPerSecond(reference->second.run, workload.bytes);
        const auto throughDll = dll.find(workload.name);
        const double viaDll = throughDll == dll.end() ? 0 : throughDll->second;
        // Shown as MB/s, or for small payloads as ns per call.
        const auto shown = [&](double megabytesPerSecond) {
            if (megabytesPerSecond <= 0) return std::string("-");
            char text[32];
            if (workload.perCall())
                std::snprintf(text, sizeof text, "%.0f ns", 1e3 * workload.bytes / megabytesPerSecond);
            else
                std::snprintf(text, sizeof text, "%.0f MB/s", megabytesPerSecond);
            return std::string(text);
        };
        const std::string payload = workload.perCall() ? std::to_string(workload.bytes) + " B" : "1 MiB";
        std::printf("| %-18s | %9s | %14s | %11s | %-26s | %11s | %16.2fx |\n", workload.name.c_str(),
                    payload.c_str(), shown(viaDll).c_str(), shown(native).c_str(),
                    reference == counterparts.end() ? "-" : reference->second.name.c_str(),
                    shown(counterpart).c_str(), counterpart > 0 ? viaDll / counterpart : 0.0);
    }
    return 0;
}
