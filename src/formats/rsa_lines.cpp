#include "rsa_lines.h"

#include <algorithm>
#include <string_view>

#include "crypto/bytes.h"

namespace tessaly::formats {
namespace {

// A group's number: missing bytes past the data count as zero in the low positions.
rsa::Natural groupNumber(std::span<const std::uint8_t> bytes, std::size_t group) {
    std::uint8_t four[4] = {};
    for (std::size_t k = 0; k < 4 && 4 * group + k < bytes.size(); ++k) four[k] = bytes[4 * group + k];
    rsa::Natural number;
    number.limbs[0] = load32_be(four);
    number.size = number.limbs[0] != 0;
    return number;
}

}  // namespace

RsaFailure RsaLineWriter::check(std::span<const std::uint8_t> bytes) const {
    const std::size_t groups = (bytes.size() + 3) / 4;
    for (std::size_t g = 0; g < groups; ++g)
        if (const rsa::Status status = operation_.check(groupNumber(bytes, g)); status != rsa::Status::success)
            return {status, groupsDone_ + g, 4 * (groupsDone_ + g)};
    return {};
}

std::size_t RsaLineWriter::write(std::span<const std::uint8_t> bytes, char* out) {
    const std::size_t groups = (bytes.size() + 3) / 4;
    // A chunk of groups at a time, so that the engine can raise several at once.
    constexpr std::size_t chunk = 64;
    rsa::Natural numbers[chunk], results[chunk];
    std::size_t written = 0;
    for (std::size_t first = 0; first < groups; first += chunk) {
        const std::size_t count = std::min(chunk, groups - first);
        for (std::size_t i = 0; i < count; ++i) numbers[i] = groupNumber(bytes, first + i);
        operation_.runMany(numbers, results, count);
        for (std::size_t i = 0; i < count; ++i) {
            if (groupsDone_ + first + i > 0) out[written++] = ' ';
            written += rsa::format(results[i], out + written);
        }
    }
    groupsDone_ += groups;
    return written;
}

std::size_t RsaLineReader::flush(std::uint8_t* out) {
    operation_.runMany(numbers_.data(), results_.data(), pending_);
    for (std::size_t i = 0; i < pending_; ++i) store32_be(out + 4 * i, results_[i].limbs[0]);  // the low 32 bits
    const std::size_t written = 4 * pending_;
    pending_ = 0;
    return written;
}

// Checks the token just ended; false on a failure.
bool RsaLineReader::endToken() {
    inToken_ = false;
    const rsa::Status status =
        malformed_ ? rsa::Status::malformedText
                   : operation_.check(std::string_view(digits_.data(), digitCount_), numbers_[pending_]);
    if (status != rsa::Status::success) {
        failure_ = {status, tokens_, tokenStart_};
        return false;
    }
    ++pending_;
    ++tokens_;
    return true;
}

std::size_t RsaLineReader::read(std::span<const std::uint8_t> text, std::uint8_t* out) {
    std::size_t written = 0;
    if (failure_.status != rsa::Status::success) return 0;
    for (const std::uint8_t c : text) {
        const std::uint64_t at = offset_++;
        if (c == ' ') {  // only the space separates
            if (inToken_ && !endToken()) return written + flush(out + written);
            if (pending_ == batch) written += flush(out + written);
            continue;
        }
        if (!inToken_) {
            inToken_ = true;
            malformed_ = false;
            digitCount_ = 0;
            tokenStart_ = at;
        }
        // Leading zeros do not count towards the 128 digits.
        if (c < '0' || c > '9' || digitCount_ == digits_.size())
            malformed_ = true;
        else if (c != '0' || digitCount_ > 0)
            digits_[digitCount_++] = static_cast<char>(c);
    }
    return written;
}

std::size_t RsaLineReader::finish(std::uint8_t* out) {
    if (failure_.status != rsa::Status::success) return 0;
    if (inToken_) endToken();
    return flush(out);
}

}  // namespace tessaly::formats
