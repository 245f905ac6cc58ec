// What the processor offers, asked once; every fast path chooses by this and nothing else.
#pragma once

#include <array>
#include <cstddef>
#include <span>

namespace tessaly::cpu {

struct Features {
    bool ssse3 = false;
    bool sse41 = false;
    bool avx2 = false;   // only when the OS also saves the YMM registers
    bool aesni = false;
    bool vaes = false;   // AES on YMM registers; only with avx2
    bool avx512vbmi = false;  // with AVX-512 F and BW, and only when the OS saves the ZMM state
    bool avx512ifma = false;  // with AVX-512 F, likewise
    bool sha = false;
};

// Detected on the first call and cached; safe to call from any thread at any time.
Features features();

// The ways an engine can run on this processor, the portable one first and the fastest last.
// Each engine builds its list once, from features(), and dispatches to fastest().
template <typename Path, std::size_t Capacity>
class PathList {
public:
    void add(const Path& path) { paths_[count_++] = path; }
    std::span<const Path> all() const { return {paths_.data(), count_}; }
    const Path& fastest() const { return paths_[count_ - 1]; }

private:
    std::array<Path, Capacity> paths_{};
    std::size_t count_ = 0;
};

}  // namespace tessaly::cpu
