// The library of this target as a host reaches it: the DLL loaded by file name (from the
// program's folder) or libtessaly.so by its path (TESSALY_LIBRARY_FILE), each export found by
// name. Exits with status 100 when something is missing.
#pragma once

#include <cstdio>
#include <cstdlib>

#include "tessaly.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace tessaly::testing {

inline void* exportNamed(const char* name) {
#if defined(_WIN32)
    static HMODULE library = LoadLibraryA("TessalyEn_M.dll");
    void* address = library ? reinterpret_cast<void*>(GetProcAddress(library, name)) : nullptr;
#else
    static void* library = dlopen(TESSALY_LIBRARY_FILE, RTLD_NOW);
    void* address = library ? dlsym(library, name) : nullptr;
#endif
    if (address == nullptr) {
        std::fprintf(stderr, "no export %s\n", name);
        std::exit(100);
    }
    return address;
}

}  // namespace tessaly::testing

// The export by its name, typed as tessaly.h declares it.
#define EXPORT(name) reinterpret_cast<decltype(&name)>(tessaly::testing::exportNamed(#name))
