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
    find(library, "DoBASE64", exports.doBase64);
    find(library, "MD5_Ex", exports.md5Ex);
    find(library, "SHA_256", exports.sha256);
    find(library, "DoDES", exports.doDes);
    find(library, "Do3DES", exports.do3Des);
    find(library, "DoAES", exports.doAes);
    find(library, "DoBlowfish", exports.doBlowfish);
    find(library, "Exclusive_OR", exports.exclusiveOr);
    find(library, "Shift_Data", exports.shiftData);
    find(library, "Substitution", exports.substitution);
    find(library, "MatchPattern_zk", exports.matchPattern);
    find(library, "DoRSA", exports.doRsa);

    tessaly::bench::Buffers buffers(exports);
    for (const auto& workload : tessaly::bench::workloads(exports, buffers))
        std::printf("%s\t%.6g\n", workload.name.c_str(),
                    tessaly::bench::medianMegabytesPerSecond(workload.run, workload.bytes));
    return 0;
}
