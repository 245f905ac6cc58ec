// The DLL as a host sees it: loaded by file name, exports found by name.
#pragma once

#include <string>

#include "checked_call.h"

namespace tessaly::wine {

constexpr const char* dllFileName = "TessalyEn_M.dll";

// The DLL loaded with LoadLibraryA(dllFileName), once for the whole test program.
HMODULE dll();

// The export's address, or null (and a test failure) when the DLL does not export it.
const void* exportAddress(HMODULE module, const char* name);

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

// Directory of a full file name, with its trailing backslash.
std::string directoryOf(const std::string& fileName);

// Full file name of a loaded module.
std::string moduleFileName(HMODULE module);

// A new empty folder under the Windows temporary folder, ending in a backslash.
std::string makeTemporaryFolder(const char* tag);

}  // namespace tessaly::wine
