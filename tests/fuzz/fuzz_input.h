// What every fuzz target shares: the input taken apart into numbers, buffers and texts, and
// each buffer or text placed at the very end of a heap block of exactly its size, so that
// AddressSanitizer reports a read or write of even one byte past it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace tessaly::fuzzing {

// A finding: the fuzzer keeps the input that led here.
[[noreturn]] inline void fail() { std::abort(); }
inline void require(bool condition) {
    if (!condition) fail();
}

// Bytes in a block of exactly their number (a zero-length block for none: any access faults).
class ExactBytes {
public:
    explicit ExactBytes(std::size_t size) : size_(size), bytes_(new std::uint8_t[size]) {}
    ExactBytes(std::span<const std::uint8_t> from) : ExactBytes(from.size()) {
        if (!from.empty()) std::memcpy(bytes_.get(), from.data(), from.size());
    }
    std::uint8_t* data() { return bytes_.get(); }
    const std::uint8_t* data() const { return bytes_.get(); }
    std::size_t size() const { return size_; }
    std::int32_t length() const { return static_cast<std::int32_t>(size_); }
    std::span<std::uint8_t> span() { return {bytes_.get(), size_}; }
    std::span<const std::uint8_t> span() const { return {bytes_.get(), size_}; }
    bool operator==(std::span<const std::uint8_t> other) const {
        return other.size() == size_ && (size_ == 0 || std::memcmp(bytes_.get(), other.data(), size_) == 0);
    }

private:
    std::size_t size_;
    std::unique_ptr<std::uint8_t[]> bytes_;
};

// A zero-ended text whose zero byte is the block's last byte.
class ExactText {
public:
    explicit ExactText(std::string_view text) : bytes_(text.size() + 1) {
        std::memcpy(bytes_.data(), text.data(), text.size());
        bytes_.data()[text.size()] = 0;
    }
    char* get() { return reinterpret_cast<char*>(bytes_.data()); }
    const char* get() const { return reinterpret_cast<const char*>(bytes_.data()); }
    std::string_view view() const { return {get(), bytes_.size() - 1}; }

private:
    ExactBytes bytes_;
};

// Reads the fuzzer's bytes front to back; once they run out every read gives zeros.
class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : rest_(data, size) {}

    std::uint8_t byte() { return rest_.empty() ? 0 : take(1)[0]; }
    std::uint32_t word() {
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i) value = value << 8 | byte();
        return value;
    }
    std::int32_t int32() { return static_cast<std::int32_t>(word()); }
    // Up to most bytes, as many as the next byte asks for (scaled to most).
    std::span<const std::uint8_t> bytes(std::size_t most) {
        const std::size_t wanted = most < 256 ? byte() % (most + 1) : (std::size_t{byte()} << 8 | byte()) % (most + 1);
        return take(wanted);
    }
    // Bytes up to the next zero byte (not included) or the end, at most most of them.
    std::string text(std::size_t most) {
        std::size_t length = 0;
        while (length < rest_.size() && length < most && rest_[length] != 0) ++length;
        std::string result(reinterpret_cast<const char*>(rest_.data()), length);
        rest_ = rest_.subspan(std::min(rest_.size(), length + 1));
        return result;
    }
    std::span<const std::uint8_t> rest() { return take(rest_.size()); }
    bool empty() const { return rest_.empty(); }

private:
    std::span<const std::uint8_t> take(std::size_t count) {
        count = std::min(count, rest_.size());
        const auto taken = rest_.first(count);
        rest_ = rest_.subspan(count);
        return taken;
    }
    std::span<const std::uint8_t> rest_;
};

}  // namespace tessaly::fuzzing
