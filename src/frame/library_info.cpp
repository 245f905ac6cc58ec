// GetDLLPath, GetDLLPathS and GetDLLVersion: the exports that describe the library itself.
#include <cstdint>
#include <cstring>

#include "export_entry.h"
#include "platform.h"
#include "version.h"

namespace {

constexpr std::size_t pathBufferSize = 256;  // what the caller provides, zero byte included

// Large enough that a directory which fits the caller's buffer is never cut off by a long
// file name behind it.
constexpr std::size_t fileNameCapacity = 1024;

}  // namespace

// The directory of the library's own file, whatever that file is called; the host's
// executable's when the library's cannot be had.
TESSALY_EXPORT void TESSALY_API GetDLLPath(char* path) {
    using tessaly::frame::pathSeparator;
    if (path == nullptr) return;
    char fileName[fileNameCapacity] = {};
    tessaly::frame::moduleFileName(fileName);

    static constexpr char currentDirectory[] = {'.', pathSeparator, '\0'};
    const char* lastSeparator = std::strrchr(fileName, pathSeparator);
    const char* directory = lastSeparator ? fileName : currentDirectory;
    std::size_t directoryLength = lastSeparator ? lastSeparator - fileName + 1 : 2;
    if (directoryLength > pathBufferSize - 1) directoryLength = pathBufferSize - 1;
    std::memcpy(path, directory, directoryLength);
    path[directoryLength] = '\0';
}

TESSALY_EXPORT void TESSALY_API GetDLLPathS(char** pathReference) {
    if (pathReference != nullptr) GetDLLPath(*pathReference);
}

TESSALY_EXPORT std::int32_t TESSALY_API GetDLLVersion() { return TESSALY_DLL_VERSION_NUMBER; }
