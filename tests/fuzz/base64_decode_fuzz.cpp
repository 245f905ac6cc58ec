// Fuzzes DoBASE64 decoding of arbitrary bytes against the plain decoder, out of place and in
// place, into a buffer of exactly the documented room.
#include <cstdint>
#include <cstdlib>
#include <algorithm>
#include <vector>

#include "crypto/base64.h"
#include "tessaly.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > (1u << 20)) return 0;
    const std::size_t room = tessaly::base64::decodedCapacity(size);
    const auto& plain = tessaly::base64::availablePaths()[0];

    std::vector<std::uint8_t> expected(room);
    const std::size_t expectedCount = plain.decode({data, size}, expected.data());

    std::vector<std::uint8_t> actual(room);  // exactly the room: ASan catches a write past it
    const std::int32_t count = DoBASE64(data, static_cast<std::int32_t>(size), actual.data(), 0, 1);
    if (static_cast<std::size_t>(count) != expectedCount || actual != expected) std::abort();

    std::vector<std::uint8_t> inPlace(data, data + size);
    if (static_cast<std::size_t>(DoBASE64(inPlace.data(), static_cast<std::int32_t>(size),
                                          inPlace.data(), 0, 1)) != expectedCount ||
        !std::equal(inPlace.begin(), inPlace.begin() + expectedCount, expected.begin()))
        std::abort();

    // And bytes encode to text that decodes back to them.
    std::vector<std::uint8_t> text(tessaly::base64::encodedSize(size));
    if (DoBASE64(data, static_cast<std::int32_t>(size), text.data(), 0, 0) !=
        static_cast<std::int32_t>(text.size()))
        std::abort();
    std::vector<std::uint8_t> back(tessaly::base64::decodedCapacity(text.size()));
    if (static_cast<std::size_t>(DoBASE64(text.data(), static_cast<std::int32_t>(text.size()),
                                          back.data(), 0, 1)) != size ||
        !std::equal(back.begin(), back.begin() + size, data))
        std::abort();
    return 0;
}
