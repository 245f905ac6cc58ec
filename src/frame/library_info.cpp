// GetDLLPath, GetDLLPathS and GetDLLVersion: the exports that describe the library itself.
#include <windows.h>

#include <cstdint>
#include <cstring>

#include "export_entry.h"
#include "version.h"

// The linker's symbol for this module's own image: its address is the module handle, so the
// path below is the file this code was loaded from, whatever that file is called.
extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {

constexpr std::size_t pathBufferSize = 256;  // what the caller provides, zero byte included

// Large enough that a directory which fits the caller's buffer is never cut off by a long
// file name behind it.
constexpr DWORD fileNameCapacity = 1024;

}  // namespace

TESSALY_EXPORT void TESSALY_API GetDLLPath(char* path) {
    if (path == nullptr) return;
    char fileName[fileNameCapacity] = {};
    DWORD length = GetModuleFileNameA(reinterpret_cast<HMODULE>(&__ImageBase), fileName,
                                      fileNameCapacity);
    if (length == 0) length = GetModuleFileNameA(nullptr, fileName, fileNameCapacity);
    if (length >= fileNameCapacity) length = fileNameCapacity - 1;  // cut off: no zero written
    fileName[length] = '\0';

    const char* lastBackslash = std::strrchr(fileName, '\\');
    const char* directory = lastBackslash ? fileName : ".\\";
    std::size_t directoryLength = lastBackslash ? lastBackslash - fileName + 1 : 2;
    if (directoryLength > pathBufferSize - 1) directoryLength = pathBufferSize - 1;
    std::memcpy(path, directory, directoryLength);
    path[directoryLength] = '\0';
}

TESSALY_EXPORT void TESSALY_API GetDLLPathS(char** pathReference) {
    if (pathReference != nullptr) GetDLLPath(*pathReference);
}

TESSALY_EXPORT std::int32_t TESSALY_API GetDLLVersion() { return TESSALY_DLL_VERSION_NUMBER; }
