#include "base64_text.h"

#include <algorithm>
#include <cstring>

namespace tessaly::formats {

std::size_t Base64Encoder::update(std::span<const std::uint8_t> input, std::uint8_t* out) {
    std::size_t written = 0;
    if (pendingSize_ > 0) {
        const std::size_t taken = std::min(input.size(), 3 - pendingSize_);
        std::memcpy(pending_.data() + pendingSize_, input.data(), taken);
        pendingSize_ += taken;
        input = input.subspan(taken);
        if (pendingSize_ < 3) return 0;
        written = base64::encode(pending_, out);
        pendingSize_ = 0;
    }
    const std::size_t whole = input.size() / 3 * 3;
    if (whole > 0) written += base64::encode(input.first(whole), out + written);
    pendingSize_ = input.size() - whole;
    std::memcpy(pending_.data(), input.data() + whole, pendingSize_);
    return written;
}

std::size_t Base64Encoder::finish(std::uint8_t* out) {
    const std::size_t written = pendingSize_ > 0 ? base64::encode({pending_.data(), pendingSize_}, out) : 0;
    pendingSize_ = 0;
    return written;
}

std::size_t Base64Decoder::update(std::span<const std::uint8_t> text, std::uint8_t* out) {
    std::size_t written = 0;
    if (pendingSize_ > 0) {
        const std::size_t taken = std::min(text.size(), 4 - pendingSize_);
        std::memcpy(pending_.data() + pendingSize_, text.data(), taken);
        pendingSize_ += taken;
        text = text.subspan(taken);
        if (pendingSize_ < 4) return 0;
        written = base64::decode(pending_, out);
        pendingSize_ = 0;
    }
    const std::size_t whole = text.size() / 4 * 4;
    if (whole > 0) written += base64::decode(text.first(whole), out + written);
    pendingSize_ = text.size() - whole;
    std::memcpy(pending_.data(), text.data() + whole, pendingSize_);
    return written;
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
