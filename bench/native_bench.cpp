// Times every workload on the native build of the core and on its best-known counterpart,
// reads the DLL's figures (from dll_bench under Wine), and prints the comparison table.
#include <openssl/evp.h>
#include <openssl/hmac.h>

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

// The counterpart of each row, measured in the same run on the same buffers.
std::map<std::string, Reference> references(tessaly::bench::Buffers& b) {
    using tessaly::bench::megabyte;
    return {
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
