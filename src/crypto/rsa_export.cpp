// DoRSA: the export over the number lines.
#include "formats/rsa_lines.h"
#include "frame/export_entry.h"
#include "wipe.h"

TESSALY_EXPORT std::int32_t TESSALY_API DoRSA(const std::uint8_t* data, std::int32_t dataLength,
                                              std::uint8_t* output, std::int32_t* outputLength,
                                              const char* exponent, const char* modulus,
                                              std::int32_t direction) {
    using namespace tessaly::formats;
    if (dataLength < 1) return 0;
    // The exponent's limbs live in the operation; its frame is scrubbed on the way out.
    return tessaly::withStackScrubbed<tessaly::rsaStackDepth>([&]() -> std::int32_t {
        const tessaly::rsa::NumberOperation operation(exponent, modulus);
        const std::span<const std::uint8_t> in(data, static_cast<std::size_t>(dataLength));
        std::size_t written = 0;
        if (direction == 0) {
            // Every group is checked before anything is written, so a failing call leaves output
            // and outputLength as they were.
            RsaLineWriter writer(operation);
            if (const RsaFailure failure = writer.check(in); failure.status != tessaly::rsa::Status::success)
                return static_cast<std::int32_t>(failure.status);
            written = writer.write(in, reinterpret_cast<char*>(output));
        } else {
            // On a failure the bytes of the tokens before it stay written.
            RsaLineReader reader(operation);
            written = reader.read(in, output);
            written += reader.finish(output + written);
            if (reader.failure().status != tessaly::rsa::Status::success)
                return static_cast<std::int32_t>(reader.failure().status);
        }
        output[written] = 0;
        *outputLength = static_cast<std::int32_t>(written);
        return 0;
    });
}
