// The call thunk behind checkedCall: a misaligned stack in, the stack and registers checked out.
#include "checked_call.h"

// tessalyCallStdcall(function, arguments, count, entryOffset, trace), cdecl.
asm(R"(
    .text
    .globl _tessalyCallStdcall
    .def _tessalyCallStdcall; .scl 2; .type 32; .endef
_tessalyCallStdcall:
    pushl %ebp
    movl  %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    movl  12(%ebp), %esi        # arguments
    movl  16(%ebp), %ecx        # count
    andl  $-16, %esp
    # Pad so that at the callee's entry ESP mod 16 == entryOffset:
    # pad = -(entryOffset + 4 * count + 4) mod 16.
    movl  20(%ebp), %eax
    leal  4(%eax,%ecx,4), %eax
    negl  %eax
    andl  $15, %eax
    subl  %eax, %esp
    movl  24(%ebp), %edx        # trace
    movl  %esp, 0(%edx)         # a stdcall callee leaves ESP here
1:  testl %ecx, %ecx
    jz    2f
    pushl -4(%esi,%ecx,4)       # last argument first
    decl  %ecx
    jmp   1b
2:  movl  %esp, 8(%edx)
    movl  8(%ebp), %eax
    movl  $0x5EB1C0DE, %ebx
    movl  $0x51C0FFEE, %esi
    movl  $0xD1DEFACE, %edi
    call  *%eax
    movl  24(%ebp), %ecx
    movl  %esp, 4(%ecx)
    movl  %ebx, 12(%ecx)
    movl  %esi, 16(%ecx)
    movl  %edi, 20(%ecx)
    cmpl  $0, 24(%ecx)
    je    3f
    fstpl 32(%ecx)              # a double result: pop it off the FPU stack
3:  leal  -12(%ebp), %esp
    popl  %edi
    popl  %esi
    popl  %ebx
    popl  %ebp
    ret
)");

namespace tessaly::wine {

std::uint64_t callAndCheck(const void* function, const std::uint32_t* arguments,
                           std::uint32_t count, const char* what, double* st0) {
    // Offsets from a 16-byte boundary at entry; 12 would be the aligned case, so never 12.
    static constexpr std::uint32_t entryOffsets[] = {0, 4, 8};
    static unsigned rotation = 0;
    const std::uint32_t offset = entryOffsets[rotation++ % 3];

    CallTrace trace{};
    trace.returnsDouble = st0 != nullptr;
    const std::uint64_t raw = tessalyCallStdcall(function, arguments, count, offset, &trace);

    EXPECT_EQ((trace.espBeforeCall - 4) % 16, offset) << "thunk fault calling " << what;
    EXPECT_EQ(static_cast<std::int32_t>(trace.espAfterCall - trace.espToLeave), 0)
        << what << " removed " << static_cast<std::int32_t>(trace.espAfterCall - trace.espBeforeCall)
        << " argument bytes, not " << 4 * count;
    EXPECT_EQ(trace.ebx, 0x5EB1C0DEu) << what << " did not preserve EBX";
    EXPECT_EQ(trace.esi, 0x51C0FFEEu) << what << " did not preserve ESI";
    EXPECT_EQ(trace.edi, 0xD1DEFACEu) << what << " did not preserve EDI";
    if (st0 != nullptr) *st0 = trace.st0;
    return raw;
}

}  // namespace tessaly::wine
