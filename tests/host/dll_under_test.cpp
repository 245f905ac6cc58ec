// Loading the library under test, and small Windows helpers for the Wine tests.
#include "dll_under_test.h"

#if !defined(_WIN32)
#include <dlfcn.h>
#endif

namespace tessaly::host {

#if defined(_WIN32)

HMODULE dll() {
    static HMODULE module = LoadLibraryA(dllFileName);
    if (module == nullptr) ADD_FAILURE() << "LoadLibraryA(" << dllFileName << ") failed: " << GetLastError();
    return module;
}

const void* exportAddress(HMODULE module, const char* name) {
    const void* address = module ? reinterpret_cast<const void*>(GetProcAddress(module, name)) : nullptr;
    if (address == nullptr) ADD_FAILURE() << "no export named " << name;
    return address;
}

std::string directoryOf(const std::string& fileName) {
    return fileName.substr(0, fileName.find_last_of('\\') + 1);
}

std::string moduleFileName(HMODULE module) {
    char name[1024] = {};
    GetModuleFileNameA(module, name, sizeof name);
    return name;
}

std::string makeTemporaryFolder(const char* tag) {
    char temp[MAX_PATH + 1] = {};
    GetTempPathA(sizeof temp, temp);
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        const std::string folder = std::string(temp) + "tessaly-" + tag + "-" +
                                   std::to_string(GetCurrentProcessId()) + "-" +
                                   std::to_string(attempt) + "\\";
        if (CreateDirectoryA(folder.c_str(), nullptr)) return folder;
    }
    ADD_FAILURE() << "cannot create a folder under " << temp;
    return temp;
}

#else

void* dll() {
    static void* library = dlopen(dllFileName, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) ADD_FAILURE() << "dlopen(" << dllFileName << ") failed: " << dlerror();
    return library;
}

const void* exportAddress(void* library, const char* name) {
    const void* address = library ? dlsym(library, name) : nullptr;
    if (address == nullptr) ADD_FAILURE() << "no export named " << name;
    return address;
}

#endif

}  // namespace tessaly::host
