// DoBASE64 against a model of every byte its rules write, the spare bytes of short groups
// included: the output is exactly the room the rules promise, filled with a marker first, and
// after the call every byte of it must be what the model says (marker where nothing is
// written). Decoding also in place; encoding, then decoding the text, gives the bytes back.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "tessaly.h"

namespace {

using tessaly::fuzzing::ExactBytes;
using tessaly::fuzzing::FuzzInput;
using tessaly::fuzzing::require;
using Bytes = std::vector<std::uint8_t>;

constexpr std::string_view alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::uint8_t invalid = 255;

std::uint8_t valueOf(std::uint8_t c) {
    const std::size_t at = alphabet.find(static_cast<char>(c));
    return c != 0 && at != std::string_view::npos ? static_cast<std::uint8_t>(at) : invalid;
}

// The output buffer as the rules leave it, starting from room bytes of marker; and the count.
std::int32_t modelEncode(std::span<const std::uint8_t> in, Bytes& out) {
    std::size_t o = 0;
    for (std::size_t i = 0; i < in.size(); i += 3, o += 4) {
        const std::size_t left = in.size() - i;
        const unsigned b0 = in[i], b1 = left > 1 ? in[i + 1] : 0, b2 = left > 2 ? in[i + 2] : 0;
        out[o] = static_cast<std::uint8_t>(alphabet[b0 >> 2]);
        out[o + 1] = static_cast<std::uint8_t>(alphabet[(b0 & 3) << 4 | b1 >> 4]);
        out[o + 2] = left > 1 ? static_cast<std::uint8_t>(alphabet[(b1 & 15) << 2 | b2 >> 6]) : '=';
        out[o + 3] = left > 2 ? static_cast<std::uint8_t>(alphabet[b2 & 63]) : '=';
    }
    return static_cast<std::int32_t>(o);
}

std::int32_t modelDecode(std::span<const std::uint8_t> in, Bytes& out) {
    std::size_t q = 0;
    for (std::size_t p = 0; p + 4 <= in.size(); p += 4) {
        std::uint8_t d[4];
        int invalids = 0;
        for (int k = 0; k < 4; ++k) invalids += (d[k] = valueOf(in[p + k])) == invalid;
        const auto byte = [](unsigned v) { return static_cast<std::uint8_t>(v); };
        const std::uint8_t b[3] = {byte(d[0] << 2 | (d[1] >> 4 & 3)), byte(d[1] << 4 | (d[2] >> 2 & 15)),
                                   byte(d[2] << 6 | (d[3] & 63))};
        const std::size_t kept = invalids == 2 ? 1 : invalids == 1 ? 2 : 3;
        for (std::size_t k = 0; k < kept; ++k) out[q + k] = b[k];
        if (kept == 1) out[q + 1] = byte(d[1] << 4);  // the spare byte
        if (kept == 2) out[q + 2] = byte(d[2] << 6);
        q += kept;
    }
    return static_cast<std::int32_t>(q);
}

void checkDecode(std::span<const std::uint8_t> text, std::uint8_t marker) {
    const std::size_t room = text.size() / 4 * 3;
    Bytes expected(room, marker);
    const std::int32_t count = modelDecode(text, expected);

    const ExactBytes input(text);
    ExactBytes output(room);
    std::memset(output.data(), marker, room);
    require(DoBASE64(input.data(), input.length(), output.data(), 0, 1) == count);
    require(output == expected);

    // In place: the counted bytes are the same (what lies behind them is the text's own).
    ExactBytes inPlace(text);
    require(DoBASE64(inPlace.data(), inPlace.length(), inPlace.data(), 0, 1) == count);
    require(std::equal(expected.begin(), expected.begin() + count, inPlace.data()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const std::uint8_t marker = input.byte();
    const std::int32_t mode = input.byte() & 1 ? input.int32() : 1;  // 1 decodes, all else encodes
    const auto rest = input.rest();
    const auto bytes = rest.first(std::min<std::size_t>(rest.size(), 1 << 16));

    if (mode == 1) {
        checkDecode(bytes, marker);
        return 0;
    }
    const std::size_t room = (bytes.size() + 2) / 3 * 4;
    Bytes expected(room, marker);
    const std::int32_t count = modelEncode(bytes, expected);
    const ExactBytes in(bytes);
    ExactBytes text(room);
    std::memset(text.data(), marker, room);
    require(DoBASE64(in.data(), in.length(), text.data(), 0, mode) == count);
    require(text == expected);
    // The model's text decodes back to the bytes.
    Bytes back(room / 4 * 3, marker);
    require(modelDecode(text.span(), back) == in.length());
    require(std::equal(bytes.begin(), bytes.end(), back.begin()));
    checkDecode(text.span(), marker);
    return 0;
}
