// The Base64 text of DoBASE64 in pieces: encoding by groups of three bytes, decoding by groups
// of four characters with DoBASE64's rules (see crypto/base64.h), and a check for canonical
// RFC 4648 text for those who want to refuse anything else.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "crypto/base64.h"

namespace tessaly::formats {

// Characters that DoBASE64 writes for n bytes, in a 64-bit count: 4 * ceil(n / 3).
constexpr std::uint64_t base64TextSize(std::uint64_t n) { return (n + 2) / 3 * 4; }

// The same text as one DoBASE64 call over all the bytes, given in pieces of any size.
class Base64Encoder {
public:
    // Room that update needs for input bytes.
    static constexpr std::size_t room(std::size_t inputSize) { return base64::encodedSize(inputSize + 2); }
    // Writes the characters of every group now complete; up to two bytes wait. Returns the
    // count written.
    std::size_t update(std::span<const std::uint8_t> input, std::uint8_t* out);
    // The last, padded group of the bytes that wait (4 characters), or nothing.
    std::size_t finish(std::uint8_t* out);

private:
    std::array<std::uint8_t, 3> pending_{};
    std::size_t pendingSize_ = 0;
};

// The counted bytes of one DoBASE64 decoding call over all the text, given in pieces of any
// size: each group of four writes its bytes right after the previous group's counted ones, so
// the spare byte of a padded group never shows. One to three characters left over at the end
// are ignored, as the export ignores them.
class Base64Decoder {
public:
    static constexpr std::size_t room(std::size_t textSize) { return base64::decodedCapacity(textSize + 3); }
    // Returns the count of bytes written; out may hold a spare byte past them.
    std::size_t update(std::span<const std::uint8_t> text, std::uint8_t* out);

private:
    std::array<std::uint8_t, 4> pending_{};
    std::size_t pendingSize_ = 0;
};

// Whether text is canonical RFC 4648 Base64: alphabet characters in groups of four, "=" only
// as the last one or two characters of the text, the bits that padding drops all zero, and
// at most one newline, as the very last character. Fed in pieces; once a character offends,
// offendingOffset() names it (0-based) and later input is not looked at.
class CanonicalBase64Check {
public:
    bool update(std::span<const std::uint8_t> text);
    // The end of the text: a group left open offends at the offset where the text ends.
    bool finish();
    bool failed() const { return failed_; }
    std::uint64_t offendingOffset() const { return offending_; }

private:
    bool offend(std::uint64_t offset);
    std::uint64_t offset_ = 0;       // of the next character
    std::uint64_t newlineAt_ = 0;    // of the newline seen, when sawNewline_
    std::uint64_t offending_ = 0;
    std::uint8_t previousValue_ = 0; // of the character before, in the current group
    int groupPosition_ = 0;          // 0 to 3
    int pads_ = 0;                   // in the current group
    bool ended_ = false;             // a padded group closed the text
    bool sawNewline_ = false;
    bool failed_ = false;
};

}  // namespace tessaly::formats
