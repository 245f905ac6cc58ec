// The scrambled-buffer formats of Exclusive_OR and Substitution in pieces of any size: the
// chain byte of Exclusive_OR carries over from one piece to the next. Shift_Data rotates the
// whole buffer as one bit string and has no such form.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "crypto/scramblers.h"

namespace tessaly::formats {

// Chaining: each byte XOR the previous output byte; unchaining: each byte XOR the previous
// input byte; the seed stands before the first byte.
class XorChain {
public:
    XorChain(std::uint8_t seed, bool chaining) : chainByte_(seed), chaining_(chaining) {}
    void apply(std::span<std::uint8_t> data) {
        if (data.empty()) return;
        if (chaining_) {
            scramblers::chainXor(data.data(), data.size(), chainByte_);
            chainByte_ = data.back();
        } else {
            const std::uint8_t lastInput = data.back();
            scramblers::unchainXor(data.data(), data.size(), chainByte_);
            chainByte_ = lastInput;
        }
    }

private:
    std::uint8_t chainByte_;
    bool chaining_;
};

}  // namespace tessaly::formats
