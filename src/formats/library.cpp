#include "library.h"

#include "crypto/aes.h"
#include "crypto/base64.h"
#include "crypto/des.h"
#include "crypto/rsa.h"
#include "crypto/scramblers.h"
#include "crypto/sha256.h"

namespace tessaly::formats {

std::array<EnginePath, 6> pathsInUse() {
    return {{{"aes", aes::availablePaths().back().name},
             {"sha256", sha256::availablePaths().back().name},
             {"base64", base64::fastestPath().name},
             {"des", des::fastestPathName()},
             {"scramblers", scramblers::availablePaths().back().name},
             {"rsa", rsa::powerPathName()}}};
}

}  // namespace tessaly::formats
