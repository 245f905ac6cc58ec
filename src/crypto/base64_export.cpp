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
    // From 1,610,612,734 bytes on, 4 * ceil(n / 3) characters overflow the count: a host
    // (a 64-bit one can pass that much) gets 0 and nothing written rather than a wrong count.
    constexpr std::uint64_t largestCount = 0x7FFFFFFF;
    if (!decoding && (static_cast<std::uint64_t>(inputLength) + 2) / 3 * 4 > largestCount) return 0;
    const std::span<const std::uint8_t> in(input, static_cast<std::size_t>(inputLength));
    const std::size_t written =
        decoding ? tessaly::base64::decode(in, output) : tessaly::base64::encode(in, output);
    return static_cast<std::int32_t>(written);
}
