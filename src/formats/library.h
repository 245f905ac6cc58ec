// What this build of the library is: its version and the fast paths this processor gets.
#pragma once

#include <array>

namespace tessaly::formats {

struct EnginePath {
    const char* engine;
    const char* path;  // the one the engine runs here
};

// AES, SHA-256, Base64, the scramblers and RSA; DES and Blowfish have only one path.
std::array<EnginePath, 6> pathsInUse();

}  // namespace tessaly::formats
