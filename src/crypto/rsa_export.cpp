// DoRSA: the export over the RSA number operation.
#include <algorithm>
#include <string_view>

#include "bytes.h"
#include "frame/export_entry.h"
#include "rsa.h"

namespace {

using tessaly::rsa::Natural;
using tessaly::rsa::NumberOperation;
using tessaly::rsa::Status;

// Bytes to a line: one decimal result per 4-byte group (the last group completed with zero
// bytes at its end), separated by single spaces. Every group is checked before anything is
// written, so a failing call leaves output and outputLength as they were.
Status bytesToLine(const NumberOperation& operation, const std::uint8_t* data, std::size_t length,
                   char* output, std::int32_t* outputLength) {
    const std::size_t groups = (length + 3) / 4;
    const auto groupValue = [&](std::size_t g) {
        std::uint8_t bytes[4] = {};
        for (std::size_t k = 0; k < 4 && 4 * g + k < length; ++k) bytes[k] = data[4 * g + k];
        Natural number;
        number.limbs[0] = tessaly::load32_be(bytes);
        number.size = number.limbs[0] != 0;
        return number;
    };
    for (std::size_t g = 0; g < groups; ++g)
        if (const Status status = operation.check(groupValue(g)); status != Status::success) return status;
    // The powers, a chunk of groups at a time so the engine can run several at once.
    constexpr std::size_t chunk = 64;
    Natural numbers[chunk], results[chunk];
    std::size_t written = 0;
    for (std::size_t first = 0; first < groups; first += chunk) {
        const std::size_t count = std::min(chunk, groups - first);
        for (std::size_t i = 0; i < count; ++i) numbers[i] = groupValue(first + i);
        operation.runMany(numbers, results, count);
        for (std::size_t i = 0; i < count; ++i) {
            if (first + i > 0) output[written++] = ' ';
            written += tessaly::rsa::format(results[i], output + written);
        }
    }
    output[written] = '\0';
    *outputLength = static_cast<std::int32_t>(written);
    return Status::success;
}

// A line to bytes: 4 bytes (the result's low 32 bits, most significant first) per non-empty
// token between single spaces. On an error the bytes of earlier tokens stay written.
Status lineToBytes(const NumberOperation& operation, const std::uint8_t* data, std::size_t length,
                   std::uint8_t* output, std::int32_t* outputLength) {
    const std::string_view line(reinterpret_cast<const char*>(data), length);
    // Tokens wait in small batches for the engine; an error first writes the ones before it.
    constexpr std::size_t batch = 4;
    Natural numbers[batch], results[batch];
    std::size_t pending = 0, written = 0;
    const auto flush = [&] {
        operation.runMany(numbers, results, pending);
        for (std::size_t i = 0; i < pending; ++i, written += 4)
            tessaly::store32_be(output + written, results[i].limbs[0]);  // the low 32 bits
        pending = 0;
    };
    for (std::size_t start = 0; start <= line.size();) {
        std::size_t end = line.find(' ', start);
        if (end == std::string_view::npos) end = line.size();
        if (end > start) {
            const Status status = operation.check(line.substr(start, end - start), numbers[pending]);
            if (status != Status::success) {
                flush();
                return status;
            }
            if (++pending == batch) flush();
        }
        start = end + 1;
    }
    flush();
    output[written] = 0;
    *outputLength = static_cast<std::int32_t>(written);
    return Status::success;
}

}  // namespace

TESSALY_EXPORT std::int32_t TESSALY_API DoRSA(const std::uint8_t* data, std::int32_t dataLength,
                                              std::uint8_t* output, std::int32_t* outputLength,
                                              const char* exponent, const char* modulus,
                                              std::int32_t direction) {
    if (dataLength < 1) return 0;
    const NumberOperation operation(exponent, modulus);
    const auto length = static_cast<std::size_t>(dataLength);
    const Status status = direction == 0
                              ? bytesToLine(operation, data, length, reinterpret_cast<char*>(output), outputLength)
                              : lineToBytes(operation, data, length, output, outputLength);
    return static_cast<std::int32_t>(status);
}
