// DoBASE64 through the DLL: published vectors both ways, modes, and a large round trip.
#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "common/test_vectors.h"
#include "dll_under_test.h"

namespace tessaly::host {
namespace {

using testing::bytesOf;
using testing::fromHex;

std::vector<std::uint8_t> doBase64(const std::vector<std::uint8_t>& input, std::int32_t mode) {
    std::vector<std::uint8_t> output(input.size() / 3 * 4 + 8, 0xA5);
    const std::int32_t count = callExport("DoBASE64", input.data(),
                                          static_cast<std::int32_t>(input.size()), output.data(),
                                          0, mode);
    output.resize(std::max(count, 0));
    return output;
}

TEST(DoBASE64, PublishedVectorsBothWays) {
    TESSALY_REQUIRE_VECTORS(records, "base64.vec");
    for (const auto& record : *records) {
        if (record.section != "valid") continue;
        const auto binary = fromHex(record.fields.at("Binary"));
        const auto text = bytesOf(record.fields.at("Base64"));
        EXPECT_EQ(doBase64(binary, 0), text) << "line " << record.line;
        EXPECT_EQ(doBase64(text, 1), binary) << "line " << record.line;
    }
}

TEST(DoBASE64, Rfc4648AndModes) {
    EXPECT_EQ(doBase64(bytesOf("foobar"), 0), bytesOf("Zm9vYmFy"));
    EXPECT_EQ(doBase64(bytesOf("fooba"), 2), bytesOf("Zm9vYmE="));
    EXPECT_EQ(doBase64(bytesOf("foob"), -1), bytesOf("Zm9vYg=="));
    EXPECT_EQ(doBase64(bytesOf("Zm9vYg=="), 1), bytesOf("foob"));
    EXPECT_EQ(doBase64(bytesOf("Zm9"), 1), bytesOf(""));
}

TEST(DoBASE64, SpareByteAndInPlaceDecoding) {
    std::vector<std::uint8_t> text = bytesOf("Zm9vYg==");
    EXPECT_EQ(callExport("DoBASE64", text.data(), 8, text.data(), 0, 1), 4);
    EXPECT_EQ(std::string(text.begin(), text.begin() + 5), std::string("foob\0", 5));
}

// 4 * ceil(n / 3) outgrows the 32-bit count from 1,610,612,734 bytes on: 0, nothing read or
// written (the small buffers stand for the large ones, so any access past them faults).
TEST(DoBASE64, EncodingCountThatCannotBeRepresented) {
    std::vector<std::uint8_t> input(16, 'a'), output(16, 0xA5);
    for (const std::int32_t length : {1610612734, 1610612735, 2147483647}) {
        EXPECT_EQ(callExport("DoBASE64", input.data(), length, output.data(), 0, 0), 0) << length;
        EXPECT_EQ(output, std::vector<std::uint8_t>(16, 0xA5)) << length;
    }
}

TEST(DoBASE64, MegabyteRoundTrip) {
    std::mt19937 rng(42);
    std::vector<std::uint8_t> data(1 << 20);
    for (auto& b : data) b = static_cast<std::uint8_t>(rng());
    const auto text = doBase64(data, 0);
    EXPECT_EQ(text.size(), (data.size() + 2) / 3 * 4);
    EXPECT_EQ(doBase64(text, 1), data);
}

}  // namespace
}  // namespace tessaly::host
