// What the processor offers, asked once; every fast path chooses by this and nothing else.
#pragma once

namespace tessaly::cpu {

struct Features {
    bool sse2 = false;
    bool ssse3 = false;
    bool sse41 = false;
    bool avx2 = false;   // only when the OS also saves the YMM registers
    bool aesni = false;
    bool sha = false;
};

// Detected on the first call and cached; safe to call from any thread at any time.
Features features();

}  // namespace tessaly::cpu
