// Times every workload on the native build of the core and on its best-known counterpart,
// reads the DLL's figures (from dll_bench under Wine), and prints the comparison table.
#include <gmp.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/provider.h>

#include <unistd.h>

#include <cstdio>
#include <chrono>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <vector>

#include "crypto/bignum.h"
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

// The same work as DoRSA direction 0 with GMP: each group's text read, raised, written.
void gmpRsa(tessaly::bench::Buffers& b) {
    static const struct Key {
        mpz_t exponent, modulus;
        Key() {
            mpz_init_set_str(exponent, tessaly::bench::rsaExponent, 10);
            mpz_init_set_str(modulus, tessaly::bench::rsaModulus, 10);
        }
    } key;
    mpz_t number, result;
    mpz_init(number);
    mpz_init(result);
    char* out = reinterpret_cast<char*>(b.output.data());
    for (std::size_t g = 0; g < tessaly::bench::rsaGroups; ++g) {
        char text[16];
        const std::uint8_t* group = b.rsaData.data() + 4 * g;
        std::snprintf(text, sizeof text, "%lu",
                      static_cast<unsigned long>(std::uint32_t{group[0]} << 24 | group[1] << 16 | group[2] << 8 | group[3]));
        mpz_set_str(number, text, 10);
        mpz_powm(result, number, key.exponent, key.modulus);
        mpz_get_str(out, 10, result);
        out += std::strlen(out);
        *out++ = ' ';
    }
    mpz_clear(number);
    mpz_clear(result);
}

// One group through the decimal arithmetic of bignum.h, for scale.
double decimalMicrosecondsPerGroup() {
    using namespace tessaly::bignum;
    const auto decimal = [](const char* digits) {
        DecimalNumber a{};
        const std::size_t n = std::strlen(digits);
        for (std::size_t i = 0; i < n; ++i) a[128 - n + i] = static_cast<std::uint8_t>(digits[i] - '0');
        return a;
    };
    ExponentBits bits{};
    DecimalNumber result{};
    const auto start = std::chrono::steady_clock::now();
    binaryExpansion(decimal(tessaly::bench::rsaExponent), bits);
    modularPower(decimal("926365495"), decimal(tessaly::bench::rsaModulus), result, bits);
    return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
}

Reference memcpyReference(tessaly::bench::Buffers& b) {
    return {"memcpy", [&] { std::memcpy(b.output.data(), b.data.data(), tessaly::bench::megabyte); }};
}

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
        {"DoRSA, 64 groups", {"GMP set_str, powm, get_str", [&] { gmpRsa(b); }}},
        // The scramblers are held against copying the same buffer.
        {"Exclusive_OR chain", memcpyReference(b)},
        {"Exclusive_OR unchain", memcpyReference(b)},
        {"Shift_Data to start", memcpyReference(b)},
        {"Shift_Data to end", memcpyReference(b)},
        {"Substitution T", memcpyReference(b)},
        {"Substitution U", memcpyReference(b)},
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

std::map<std::string, double> readFigures(std::istream& in) {
    std::map<std::string, double> figures;
    for (std::string line; std::getline(in, line);) {
        const auto tab = line.find('\t');
        if (tab != std::string::npos) figures[line.substr(0, tab)] = std::stod(line.substr(tab + 1));
    }
    return figures;
}

std::map<std::string, double> readFigureFile(const char* file) {
    std::ifstream in(file);
    return readFigures(in);
}

// Shown as MB/s, or for small payloads as ns per call.
std::string shown(const tessaly::bench::Workload& workload, double megabytesPerSecond) {
    if (megabytesPerSecond <= 0) return "-";
    char text[32];
    if (workload.perCall)
        std::snprintf(text, sizeof text, "%.0f ns", 1e3 * workload.bytes / megabytesPerSecond);
    else
        std::snprintf(text, sizeof text, "%.0f MB/s", megabytesPerSecond);
    return text;
}

struct Row {
    const tessaly::bench::Workload* workload;
    double dll, dll64, native;  // 0 when not measured
    std::string counterpartName;
    double counterpart;
};

void printTable(const char* dllColumn, const std::vector<Row>& rows) {
    std::printf("| %-20s | %7s | %20s | %17s | %11s | %-37s | %11s | %17s | %17s |\n", "Export", "payload", dllColumn,
                "64-bit DLL (Wine)", "native core", "Counterpart (native)", "counterpart", "DLL / counterpart",
                "64-bit / counterp.");
    std::printf("|%s|%s|%s|%s|%s|%s|%s|%s|%s|\n", std::string(22, '-').c_str(), std::string(9, '-').c_str(),
                std::string(22, '-').c_str(), std::string(19, '-').c_str(), std::string(13, '-').c_str(),
                std::string(39, '-').c_str(), std::string(13, '-').c_str(), std::string(19, '-').c_str(),
                std::string(19, '-').c_str());
    for (const Row& row : rows) {
        const auto& w = *row.workload;
        const std::string payload = w.bytes == tessaly::bench::megabyte ? "1 MiB"
                                    : w.bytes >= 10000 ? std::to_string(w.bytes / 1000) + " KB"
                                                       : std::to_string(w.bytes) + " B";
        char ratio[32] = "-", ratio64[32] = "-";
        if (row.counterpart > 0 && row.dll > 0) std::snprintf(ratio, sizeof ratio, "%.2fx", row.dll / row.counterpart);
        if (row.counterpart > 0 && row.dll64 > 0)
            std::snprintf(ratio64, sizeof ratio64, "%.2fx", row.dll64 / row.counterpart);
        std::printf("| %-20s | %7s | %20s | %17s | %11s | %-37s | %11s | %17s | %17s |\n", w.name.c_str(),
                    payload.c_str(), shown(w, row.dll).c_str(), shown(w, row.dll64).c_str(),
                    shown(w, row.native).c_str(), row.counterpartName.c_str(), shown(w, row.counterpart).c_str(),
                    ratio, ratio64);
    }
}

double figureOf(const std::map<std::string, double>& figures, const std::string& name) {
    const auto found = figures.find(name);
    return found == figures.end() ? 0 : found->second;
}

// The counterparts measured in a child process of this program that OpenSSL starts with AES-NI
// turned off (OpenSSL reads OPENSSL_ia32cap once, when it loads).
std::map<std::string, double> counterpartsWithoutAesNi(const std::string& prefix) {
    char self[4096] = {};
    if (readlink("/proc/self/exe", self, sizeof self - 1) <= 0) return {};
    const std::string command = std::string("OPENSSL_ia32cap='~0x200000200000000' '") + self +
                                "' --counterparts '" + prefix + "'";
    FILE* child = popen(command.c_str(), "r");
    if (child == nullptr) return {};
    std::string output;
    char chunk[256];
    while (std::fgets(chunk, sizeof chunk, child)) output += chunk;
    pclose(child);
    std::istringstream in(output);
    return readFigures(in);
}

}  // namespace

// native_bench DLL-FIGURES DLL64-FIGURES [PORTABLE-DLL-FIGURES]: prints the tables. The figure
// files hold "name<TAB>MB/s" lines from dll_bench, run on the 32-bit DLL, on the 64-bit DLL and
// on the 32-bit DLL built without processor extensions. native_bench --counterparts PREFIX: prints the counterparts' figures for the
// rows whose names start with PREFIX, in the same form.
int main(int argc, char** argv) {
    tessaly::bench::Exports exports;
#define TESSALY_BENCH_BIND(member, name) exports.member = &name;
    TESSALY_BENCH_EXPORTS(TESSALY_BENCH_BIND)
#undef TESSALY_BENCH_BIND
    tessaly::bench::Buffers buffers(exports);
    const auto counterparts = references(buffers);
    const auto workloads = tessaly::bench::workloads(exports, buffers);
    const auto measureCounterpart = [&](const tessaly::bench::Workload& w) {
        const auto found = counterparts.find(w.name);
        return found == counterparts.end() ? 0.0 : tessaly::bench::medianMegabytesPerSecond(found->second.run, w.bytes);
    };
    const auto counterpartName = [&](const tessaly::bench::Workload& w) {
        const auto found = counterparts.find(w.name);
        return found == counterparts.end() ? std::string("-") : found->second.name;
    };

    if (argc > 2 && std::string(argv[1]) == "--counterparts") {
        for (const auto& w : workloads)
            if (w.name.rfind(argv[2], 0) == 0) std::printf("%s\t%.3f\n", w.name.c_str(), measureCounterpart(w));
        return 0;
    }

    const auto dll = argc > 1 ? readFigureFile(argv[1]) : std::map<std::string, double>{};
    const auto dll64 = argc > 2 ? readFigureFile(argv[2]) : std::map<std::string, double>{};
    std::printf("MB/s for 1 MiB payloads, ns per call for small ones; median of 7 runs.\n"
                "The last column is the DLL's speed over the counterpart's (above 1: faster).\n\n");
    std::vector<Row> rows;
    for (const auto& w : workloads)
        rows.push_back({&w, figureOf(dll, w.name), figureOf(dll64, w.name),
                        tessaly::bench::medianMegabytesPerSecond(w.run, w.bytes),
                        counterpartName(w), measureCounterpart(w)});
    printTable("32-bit DLL (Wine)", rows);
    std::printf("\nDoRSA per group is the 64-group figure / 64. For scale, the decimal arithmetic takes "
                "%.0f us for one group.\n", decimalMicrosecondsPerGroup());

    if (argc > 3) {
        // AES without AES-NI on both sides: the DLL built without processor extensions, and
        // OpenSSL with AES-NI masked off.
        const auto portable = readFigureFile(argv[3]);
        const auto openSsl = counterpartsWithoutAesNi("DoAES");
        std::vector<Row> aesRows;
        for (const auto& w : workloads)
            if (w.name.rfind("DoAES", 0) == 0)
                aesRows.push_back({&w, figureOf(portable, w.name), 0, 0, counterpartName(w) + ", no AES-NI",
                                   figureOf(openSsl, w.name)});
        std::printf("\nAES-NI off on both sides:\n\n");
        printTable("DLL, portable paths", aesRows);
    }
    return 0;
}
