// The number lines of DoRSA. Bytes to a line: each 4-byte group (the last completed with zero
// bytes at its end) read most significant byte first, raised to the exponent, its result in
// decimal, results separated by single spaces. A line to bytes: each non-empty token between
// single spaces raised likewise, its result's low 32 bits written most significant byte
// first. Both work in pieces, so neither side needs the whole input at once.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "crypto/rsa.h"

namespace tessaly::formats {

// Where a number failed: its status and which group or token it was.
struct RsaFailure {
    rsa::Status status = rsa::Status::success;
    std::uint64_t index = 0;   // 0-based group (bytes to line) or non-empty token (line to bytes)
    std::uint64_t offset = 0;  // of the group's first byte, or of the token's first character
};

class RsaLineWriter {
public:
    explicit RsaLineWriter(const rsa::NumberOperation& operation) : operation_(operation) {}

    // Characters that write may need for bytes: a result text and a space per group.
    static constexpr std::size_t room(std::size_t byteCount) { return (byteCount + 3) / 4 * (rsa::maxDigits + 2); }

    // Checks every group of bytes (whole groups, but for the last piece of the data) without
    // writing anything; a failure names the first group that fails.
    RsaFailure check(std::span<const std::uint8_t> bytes) const;
    // Writes the result texts of bytes that check accepted, continuing the line; returns the
    // characters written.
    std::size_t write(std::span<const std::uint8_t> bytes, char* out);

private:
    const rsa::NumberOperation& operation_;
    std::uint64_t groupsDone_ = 0;
};

class RsaLineReader {
public:
    explicit RsaLineReader(const rsa::NumberOperation& operation) : operation_(operation) {}

    // Bytes that read may write for text: 4 per token, a token at least one character.
    static constexpr std::size_t room(std::size_t textSize) { return 4 * (textSize + 1); }

    // Reads more of the line and writes the bytes of every token it completes. On a failure
    // it stops there: the bytes of the tokens before it are written, and failure() names it.
    // Returns the bytes written.
    std::size_t read(std::span<const std::uint8_t> text, std::uint8_t* out);
    // The end of the line ends the last token.
    std::size_t finish(std::uint8_t* out);
    const RsaFailure& failure() const { return failure_; }

private:
    bool endToken();
    std::size_t flush(std::uint8_t* out);

    const rsa::NumberOperation& operation_;
    std::array<char, rsa::maxDigits> digits_{};  // the token's significant digits
    std::size_t digitCount_ = 0;
    bool inToken_ = false;
    bool malformed_ = false;       // a byte other than a digit, or too many digits
    std::uint64_t offset_ = 0;     // of the next character
    std::uint64_t tokenStart_ = 0;
    std::uint64_t tokens_ = 0;     // non-empty tokens so far
    // Tokens wait in small batches, so that the engine can raise several at once.
    static constexpr std::size_t batch = 4;
    std::array<rsa::Natural, batch> numbers_{}, results_{};
    std::size_t pending_ = 0;
    RsaFailure failure_;
};

}  // namespace tessaly::formats
