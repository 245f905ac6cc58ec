// The library as a host sees it: loaded by file name, exports found by name (LoadLibraryA and
// GetProcAddress on Windows, dlopen and dlsym on Linux).
#pragma once

#include <string>

#include "checked_call.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace tessaly::host {

#if defined(_WIN32)
using LibraryHandle = HMODULE;
constexpr const char* dllFileName = "TessalyEn_M.dll";
constexpr const char* memcmpExportName = "_memcmp_zk@12";  // decorated on both DLLs
#else
using LibraryHandle = void*;
constexpr const char* dllFileName = TESSALY_LIBRARY_FILE;  // the built libtessaly.so
constexpr const char* memcmpExportName = "memcmp_zk";
#endif

// The library loaded by dllFileName, once for the whole test program.
LibraryHandle dll();

// The export's address, or null (and a test failure) when the library does not export it.
const void* exportAddress(LibraryHandle library, const char* name);

// Calls the named export of dll() through checkedCall.
template <typename Result = std::int32_t, typename... Args>
Result callExport(const char* name, Args... args) {
    const void* function = exportAddress(dll(), name);
    if (function == nullptr) return Result();
    return checkedCall<Result>(function, name, args...);
}

template <typename... Args>
double callExportDouble(const char* name, Args... args) {
    const void* function = exportAddress(dll(), name);
    return function ? checkedCallDouble(function, name, args...) : 0.0;
}

#if defined(_WIN32)
// Directory of a full file name, with its trailing backslash.
std::string directoryOf(const std::string& fileName);

// Full file name of a loaded module.
std::string moduleFileName(HMODULE module);

// A new empty folder under the Windows temporary folder, ending in a backslash.
std::string makeTemporaryFolder(const char* tag);
#endif

}  // namespace tessaly::host
