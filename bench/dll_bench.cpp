// Times the workloads through TessalyEn_M.dll, loaded by name. Alone it times every row and
// prints "name<TAB>median<TAB>slowest<TAB>fastest" lines (MB/s); with --serve it reads row
// names from its input, one per line, and answers each with such a line as soon as it is
// measured, so the native side can time the peers of a row in the same minute.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "workloads.h"

template <typename Function>
void find(HMODULE library, const char* name, Function& pointer) {
    pointer = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
    if (pointer == nullptr) {
        std::fprintf(stderr, "the DLL has no export named %s\n", name);
        std::exit(1);
    }
}

void report(const tessaly::bench::Workload& workload) {
    const auto rate = tessaly::bench::measure(workload.run, workload.bytes);
    std::printf("%s\t%.6g\t%.6g\t%.6g\n", workload.name.c_str(), rate.median, rate.slowest, rate.fastest);
    std::fflush(stdout);
}

int main(int argc, char** argv) {
    HMODULE library = LoadLibraryA("TessalyEn_M.dll");
    if (library == nullptr) {
        std::fprintf(stderr, "cannot load TessalyEn_M.dll\n");
        return 1;
    }
    tessaly::bench::Exports exports;
#define TESSALY_BENCH_FIND(member, name) find(library, #name, exports.member);
    TESSALY_BENCH_EXPORTS(TESSALY_BENCH_FIND)
#undef TESSALY_BENCH_FIND

    tessaly::bench::Buffers buffers(exports);
    const auto workloads = tessaly::bench::workloads(exports, buffers);
    if (argc > 1 && std::strcmp(argv[1], "--serve") == 0) {
        std::printf("ready\n");
        std::fflush(stdout);
        for (char line[256]; std::fgets(line, sizeof line, stdin);) {
            std::string name(line);
            while (!name.empty() && (name.back() == '\n' || name.back() == '\r')) name.pop_back();
            bool known = false;
            for (const auto& workload : workloads)
                if (workload.name == name) {
                    report(workload);
                    known = true;
                }
            if (!known) {
                std::printf("%s\t0\t0\t0\n", name.c_str());
                std::fflush(stdout);
            }
        }
        return 0;
    }
    for (const auto& workload : workloads) report(workload);
    return 0;
}
