// The checked call itself: it must notice a callee that breaks its convention, and it must
// really hand 32-bit arguments over with garbage above them.
#include <gtest/gtest-spi.h>

#include "checked_call.h"

namespace tessaly::host {
namespace {

#if defined(__i386__)

extern "C" int __cdecl cdeclTakingTwo(int a, int b) { return a + b; }

TEST(CheckedCall, CatchesACalleeThatDoesNotRemoveItsArguments) {
    EXPECT_NONFATAL_FAILURE(checkedCall(reinterpret_cast<const void*>(&cdeclTakingTwo), "cdecl", 1, 2),
                            "argument bytes");
}

#elif defined(__x86_64__)

extern "C" std::uint64_t tessalyClobberRbx();
extern "C" std::uint64_t tessalyClobberR14();
asm(R"(
    .text
    .globl tessalyClobberRbx
tessalyClobberRbx:
    xorl  %ebx, %ebx
    ret
    .globl tessalyClobberR14
tessalyClobberR14:
    xorl  %r14d, %r14d
    ret
)");

TEST(CheckedCall, CatchesACalleeThatChangesACalleeSavedRegister) {
    EXPECT_NONFATAL_FAILURE(checkedCall(reinterpret_cast<const void*>(&tessalyClobberRbx), "clobbers RBX"),
                            "did not preserve RBX");
    EXPECT_NONFATAL_FAILURE(checkedCall(reinterpret_cast<const void*>(&tessalyClobberR14), "clobbers R14"),
                            "did not preserve R14");
}

#if defined(_WIN64)
extern "C" std::uint64_t tessalyClobberXmm9();
asm(R"(
    .text
    .globl tessalyClobberXmm9
tessalyClobberXmm9:
    pxor  %xmm9, %xmm9
    ret
)");

TEST(CheckedCall, CatchesACalleeThatChangesXmm9) {
    EXPECT_NONFATAL_FAILURE(checkedCall(reinterpret_cast<const void*>(&tessalyClobberXmm9), "clobbers XMM9"),
                            "did not preserve XMM9");
}
#endif

// A callee that reads whole 64-bit registers sees what a careless caller leaves there.
extern "C" std::uint64_t lastOfSeven(std::uint64_t, std::uint64_t, std::uint64_t, std::uint64_t,
                                     std::uint64_t, std::uint64_t, std::uint64_t last) {
    return last;
}
extern "C" std::uint64_t firstOfOne(std::uint64_t first) { return first; }

TEST(CheckedCall, ThirtyTwoBitArgumentsCarryGarbageAbove) {
    EXPECT_EQ(checkedCall<std::uint64_t>(reinterpret_cast<const void*>(&firstOfOne), "register", 5),
              upperHalfGarbage | 5);
    EXPECT_EQ(checkedCall<std::uint64_t>(reinterpret_cast<const void*>(&lastOfSeven), "stack slot", 1, 2, 3, 4,
                                         5, 6, std::uint32_t{7}),
              upperHalfGarbage | 7);
    int variable = 0;
    EXPECT_EQ(checkedCall<int*>(reinterpret_cast<const void*>(&firstOfOne), "pointer", &variable), &variable)
        << "pointers fill their slot";
}

#endif

}  // namespace
}  // namespace tessaly::host
