// Times every workload on the native build of the core and on its best-known counterpart,
// reads the DLL's figures (from dll_bench under Wine), and prints the comparison table.
#include <openssl/evp.h>

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
    tessaly::bench::Buffers buffers(exports);
    const auto counterparts = references(buffers);

    std::printf("Throughput on 1 MiB, MB/s (median of 7 runs)\n\n");
    std::printf("| %-18s | %14s | %11s | %-26s | %11s | %17s |\n", "Export", "DLL under Wine",
                "native core", "Counterpart", "counterpart", "DLL / counterpart");
    std::printf("|%s|%s|%s|%s|%s|%s|\n", std::string(20, '-').c_str(), std::string(16, '-').c_str(),
                std::string(13, '-').c_str(), std::string(28, '-').c_str(),
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
        std::printf("| %-18s | %14.0f | %11.0f | %-26s | %11.0f | %16.2fx |\n",
                    workload.name.c_str(), viaDll, native,
                    reference == counterparts.end() ? "-" : reference->second.name.c_str(),
                    counterpart, counterpart > 0 ? viaDll / counterpart : 0.0);
    }
    return 0;
}
