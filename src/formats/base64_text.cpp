#include "base64_text.h"

#include <algorithm>
#include <cstring>

namespace tessaly::formats {

namespace {

// Codes input by whole groups: the bytes waiting from earlier calls are completed first, and
// what is left over of a group waits for the next call.
template <std::size_t Group, typename Code>
std::size_t inWholeGroups(std::array<std::uint8_t, Group>& pending, std::size_t& pendingSize,
                          std::span<const std::uint8_t> input, std::uint8_t* out, Code code) {
    std::size_t written = 0;
    if (pendingSize > 0) {
        const std::size_t taken = std::min(input.size(), Group - pendingSize);
        std::memcpy(pending.data() + pendingSize, input.data(), taken);
        pendingSize += taken;
        input = input.subspan(taken);
        if (pendingSize < Group) return 0;
        written = code(std::span<const std::uint8_t>(pending), out);
        pendingSize = 0;
    }
    const std::size_t whole = input.size() / Group * Group;
    if (whole > 0) written += code(input.first(whole), out + written);
    pendingSize = input.size() - whole;
    std::memcpy(pending.data(), input.data() + whole, pendingSize);
    return written;
}

}  // namespace

std::size_t Base64Encoder::update(std::span<const std::uint8_t> input, std::uint8_t* out) {
    return inWholeGroups(pending_, pendingSize_, input, out, base64::encode);
}

std::size_t Base64Encoder::finish(std::uint8_t* out) {
    const std::size_t written = pendingSize_ > 0 ? base64::encode({pending_.data(), pendingSize_}, out) : 0;
    pendingSize_ = 0;
    return written;
}

std::size_t Base64Decoder::update(std::span<const std::uint8_t> text, std::uint8_t* out) {
    return inWholeGroups(pending_, pendingSize_, text, out, base64::decode);
}

bool CanonicalBase64Check::offend(std::uint64_t offset) {
    failed_ = true;
    offending_ = offset;
    return false;
}

bool CanonicalBase64Check::update(std::span<const std::uint8_t> text) {
    for (const std::uint8_t c : text) {
        if (failed_) return false;
        const std::uint64_t at = offset_++;
        if (sawNewline_) return offend(newlineAt_);  // the newline was not the last character
        if (c == '\n') {
            if (groupPosition_ != 0) return offend(at);
            sawNewline_ = true;
            newlineAt_ = at;
            continue;
        }
        if (ended_) return offend(at);
        if (c == base64::padCharacter) {
            // "xx==" drops the low 4 bits of the second character, "xxx=" the low 2 of the third.
            if (groupPosition_ < 2) return offend(at);
            if (pads_ == 0 && (previousValue_ & (groupPosition_ == 2 ? 15 : 3)) != 0) return offend(at - 1);
            ++pads_;
        } else {
            const std::uint8_t value = base64::decodingTable[c];
            if (value == base64::invalidValue || pads_ > 0) return offend(at);
            previousValue_ = value;
        }
        if (++groupPosition_ == 4) {
            groupPosition_ = 0;
            ended_ = pads_ > 0;
            pads_ = 0;
        }
    }
    return !failed_;
}

bool CanonicalBase64Check::finish() {
    if (failed_) return false;
    if (groupPosition_ != 0) return offend(offset_);
    return true;
}

}  // namespace tessaly::formats
