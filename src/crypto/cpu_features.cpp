// Processor feature detection with cpuid (and xgetbv for the AVX state).
#include "cpu_features.h"

#include <atomic>
#include <cstdint>

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif

namespace tessaly::cpu {
namespace {

Features detect() {
    Features f;
#if defined(TESSALY_PORTABLE_ONLY)
    // A build for measuring the portable paths: no processor extension is used.
#elif defined(__i386__) || defined(__x86_64__)
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(0, &a, &b, &c, &d)) return f;
    const unsigned maxLeaf = a;
    if (!__get_cpuid(1, &a, &b, &c, &d)) return f;
    f.ssse3 = (c & bit_SSSE3) != 0;
    f.sse41 = (c & bit_SSE4_1) != 0;
    f.aesni = (c & bit_AES) != 0;
    bool ymmSaved = false, zmmSaved = false;
    if ((c & bit_OSXSAVE) && (c & bit_AVX)) {
        unsigned xcr0Low = 0, xcr0High = 0;
        __asm__("xgetbv" : "=a"(xcr0Low), "=d"(xcr0High) : "c"(0));
        ymmSaved = (xcr0Low & 0x6) == 0x6;     // XMM and YMM state
        zmmSaved = (xcr0Low & 0xE6) == 0xE6;   // and the opmask and all of the ZMM registers
    }
    if (maxLeaf >= 7) {
        __cpuid_count(7, 0, a, b, c, d);
        f.avx2 = ymmSaved && (b & bit_AVX2) != 0;
        f.sha = (b & bit_SHA) != 0;
        f.vaes = f.avx2 && (c & bit_VAES) != 0;
        f.avx512vbmi = zmmSaved && (b & bit_AVX512F) && (b & bit_AVX512BW) && (c & bit_AVX512VBMI);
        f.avx512ifma = zmmSaved && (b & bit_AVX512F) && (b & bit_AVX512IFMA);
    }
#endif
    return f;
}

std::uint32_t pack(const Features& f) {
    return 1u | f.ssse3 << 1 | f.sse41 << 2 | f.avx2 << 3 | f.aesni << 4 | f.sha << 5 | f.vaes << 6 | f.avx512vbmi << 7 | f.avx512ifma << 8;
}

Features unpack(std::uint32_t bits) {
    Features f;
    f.ssse3 = bits & 1u << 1;
    f.sse41 = bits & 1u << 2;
    f.avx2 = bits & 1u << 3;
    f.aesni = bits & 1u << 4;
    f.sha = bits & 1u << 5;
    f.vaes = bits & 1u << 6;
    f.avx512vbmi = bits & 1u << 7;
    f.avx512ifma = bits & 1u << 8;
    return f;
}

// Bit 0 marks "detected". Detection is pure and cheap, so concurrent first calls simply
// compute and store the same word.
std::atomic<std::uint32_t> detectedBits{0};

}  // namespace

Features features() {
    std::uint32_t bits = detectedBits.load(std::memory_order_relaxed);
    if (bits == 0) {
        bits = pack(detect());
        detectedBits.store(bits, std::memory_order_relaxed);
    }
    return unpack(bits);
}

}  // namespace tessaly::cpu
