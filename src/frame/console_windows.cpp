// The tool's platform half on Windows.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "console.h"

namespace tessaly::console {

void useBinaryStandardStreams() {
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
}

bool isTerminal(std::FILE* stream) { return _isatty(_fileno(stream)) != 0; }

std::FILE* createBeside(const std::string& target, std::string& temporary) {
    const std::size_t slash = target.find_last_of("/\\");
    const std::string folder = slash == std::string::npos ? std::string(".") : target.substr(0, slash + 1);
    char name[MAX_PATH];
    // Creates the file, with a name no other file in the folder has.
    if (GetTempFileNameA(folder.c_str(), "tsl", 0, name) == 0) return nullptr;
    temporary = name;
    std::FILE* file = std::fopen(name, "wb");
    if (file == nullptr) DeleteFileA(name);
    return file;
}

bool replaceFile(const std::string& temporary, const std::string& target) {
    return MoveFileExA(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

}  // namespace tessaly::console
