// DoBASE64: the export over the Base64 engine.
#include <span>

#include "base64.h"
#include "frame/export_entry.h"

TESSALY_EXPORT std::int32_t TESSALY_API DoBASE64(const std::uint8_t* input,
                                                 std::int32_t inputLength, std::uint8_t* output,
                                                 std::int32_t /*outputSize: never read*/,
                                                 std::int32_t mode) {
    // Only 1 decodes; every other mode encodes.
    const bool decoding = mode == 1;
    if (inputLength <= 0) return 0;
    const std::span<const std::uint8_t> in(input, static_cast<std::size_t>(inputLength));
    const std::size_t written =
        decoding ? tessaly::base64::decode(in, output) : tessaly::base64::encode(in, output);
    return static_cast<std::int32_t>(written);
}
