// The tool's platform half on POSIX systems.
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "console.h"

namespace tessaly::console {

void useBinaryStandardStreams() {}

bool isTerminal(std::FILE* stream) { return isatty(fileno(stream)) != 0; }

std::FILE* createBeside(const std::string& target, std::string& temporary) {
    const std::size_t slash = target.rfind('/');
    temporary = (slash == std::string::npos ? std::string() : target.substr(0, slash + 1)) + ".tessaly-XXXXXX";
    const int descriptor = mkstemp(temporary.data());
    if (descriptor < 0) return nullptr;
    // mkstemp makes the file private; the result gets what any new file gets.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(descriptor, 0666 & ~mask);
    std::FILE* file = fdopen(descriptor, "wb");
    if (file == nullptr) {
        close(descriptor);
        unlink(temporary.c_str());
    }
    return file;
}

bool replaceFile(const std::string& temporary, const std::string& target) {
    return std::rename(temporary.c_str(), target.c_str()) == 0;
}

}  // namespace tessaly::console
