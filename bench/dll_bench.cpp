// Times every workload through TessalyEn_M.dll, loaded by name; prints "name<TAB>MB/s" lines
// for the native side to put in its table.
#include <windows.h>

#include <cstdio>

#include "workloads.h"

template <typename Function>
void find(HMODULE library, const char* name, Function& pointer) {
    pointer = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
    if (pointer == nullptr) {
        std::fprintf(stderr, "the DLL has no export named %s\n", name);
        std::exit(1);
    }
}

int main() {
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
    for (const auto& workload : tessaly::bench::workloads(exports, buffers))
        std::printf("%s\t%.6g\n", workload.name.c_str(),
                    tessaly::bench::medianMegabytesPerSecond(workload.run, workload.bytes));
    return 0;
}
