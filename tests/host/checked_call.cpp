// The call thunks behind checkedCall: the caller's side of each calling convention, with the
// callee's duties checked afterwards.
#include "checked_call.h"

#include <algorithm>

extern "C" {
std::uint8_t* tessalyStackCapture = nullptr;
std::size_t tessalyStackCaptureBytes = 0;
}

namespace tessaly::host {

#if defined(__i386__) || defined(__x86_64__)
void captureStackOfNextCalls(std::uint8_t* capture, std::size_t bytes) {
    tessalyStackCapture = capture;
    tessalyStackCaptureBytes = bytes;
}
#endif

#if defined(__i386__)

// Filled by the thunk; offsets are fixed by the assembly.
struct CallTrace {
    std::uint32_t espToLeave;     // where ESP must be after a stdcall return
    std::uint32_t espAfterCall;   // where it was
    std::uint32_t espBeforeCall;  // the callee entered with ESP = this - 4
    std::uint32_t ebx, esi, edi;  // after the call
    std::uint32_t returnsDouble;  // set by the caller: the result comes in ST0
    double st0;                   // that result, popped from the FPU stack
};
static_assert(offsetof(CallTrace, returnsDouble) == 24 && offsetof(CallTrace, st0) == 32);

extern "C" std::uint64_t tessalyCallStdcall(const void* function, const std::uint32_t* arguments,
                                            std::uint32_t count, std::uint32_t entryOffset,
                                            CallTrace* trace);

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
3:  movl  _tessalyStackCaptureBytes, %ecx
    testl %ecx, %ecx
    jz    4f
    movl  24(%ebp), %esi        # (EDX:EAX hold the result)
    movl  8(%esi), %esi         # ESP at the call
    addl  $64, %esi             # the argument slots, which the callee may reuse
    subl  %ecx, %esi
    movl  _tessalyStackCapture, %edi
    rep movsb                   # copied without a push: nothing of ours lands in it
4:  leal  -12(%ebp), %esp
    popl  %edi
    popl  %esi
    popl  %ebx
    popl  %ebp
    ret
)");

std::uint64_t callAndCheck(const void* function, const Slot* arguments, std::uint32_t count,
                           const char* what, double* real) {
    // Offsets from a 16-byte boundary at entry; 12 would be the aligned case, so never 12.
    static constexpr std::uint32_t entryOffsets[] = {0, 4, 8};
    static unsigned rotation = 0;
    const std::uint32_t offset = entryOffsets[rotation++ % 3];

    CallTrace trace{};
    trace.returnsDouble = real != nullptr;
    const std::uint64_t raw = tessalyCallStdcall(function, arguments, count, offset, &trace);

    EXPECT_EQ((trace.espBeforeCall - 4) % 16, offset) << "thunk fault calling " << what;
    EXPECT_EQ(static_cast<std::int32_t>(trace.espAfterCall - trace.espToLeave), 0)
        << what << " removed " << static_cast<std::int32_t>(trace.espAfterCall - trace.espBeforeCall)
        << " argument bytes, not " << 4 * count;
    EXPECT_EQ(trace.ebx, 0x5EB1C0DEu) << what << " did not preserve EBX";
    EXPECT_EQ(trace.esi, 0x51C0FFEEu) << what << " did not preserve ESI";
    EXPECT_EQ(trace.edi, 0xD1DEFACEu) << what << " did not preserve EDI";
    if (real != nullptr) *real = trace.st0;
    return raw;
}

#elif defined(__x86_64__)

namespace {

// Filled by the thunk; offsets are fixed by the assembly.
struct CallTrace {
    std::uint64_t frame;       // the thunk's own RSP, to return to whatever the callee did
    std::uint64_t rspAtCall;   // RSP at the call instruction; the callee must restore it
    std::uint64_t rspAfter;
    std::uint64_t saved[8];    // RBX, RBP, R12, R13, R14, R15, RDI, RSI after the call
    std::uint64_t flags;       // RFLAGS after the call
    double xmm0;               // a floating-point result
    std::uint64_t unused;
    std::uint8_t xmm[10][16];  // XMM6 to XMM15 after the call
};
static_assert(offsetof(CallTrace, flags) == 88 && offsetof(CallTrace, xmm) == 112);

// What the thunk puts in the callee-saved registers before the call.
constexpr std::uint64_t knownValues[8] = {0x5EB1C0DE5EB1C0DE, 0xB0BB1E5B0BB1E5B0, 0x1212121212121212,
                                          0x1313131313131313, 0x1414141414141414, 0x1515151515151515,
                                          0xD1DEFACED1DEFACE, 0x51C0FFEE51C0FFEE};
constexpr const char* savedNames[8] = {"RBX", "RBP", "R12", "R13", "R14", "R15", "RDI", "RSI"};

}  // namespace

extern "C" {
CallTrace tessalyCallTrace;
alignas(16) std::uint8_t tessalyXmmPattern[10][16];
std::uint64_t tessalyCallX64(const void* function, const Slot* arguments, std::uint32_t count);
}

#define TESSALY_KNOWN_VALUES                          \
    "    movabsq $0x5EB1C0DE5EB1C0DE, %rbx\n"         \
    "    movabsq $0xB0BB1E5B0BB1E5B0, %rbp\n"         \
    "    movabsq $0x1212121212121212, %r12\n"         \
    "    movabsq $0x1313131313131313, %r13\n"         \
    "    movabsq $0x1414141414141414, %r14\n"         \
    "    movabsq $0x1515151515151515, %r15\n"
#define TESSALY_TRACE_AFTER_CALL                      \
    "    leaq  tessalyCallTrace(%rip), %r11\n"        \
    "    movq  %rsp, 16(%r11)\n"                      \
    "    movq  %rbx, 24(%r11)\n"                      \
    "    movq  %rbp, 32(%r11)\n"                      \
    "    movq  %r12, 40(%r11)\n"                      \
    "    movq  %r13, 48(%r11)\n"                      \
    "    movq  %r14, 56(%r11)\n"                      \
    "    movq  %r15, 64(%r11)\n"                      \
    "    movq  %rdi, 72(%r11)\n"                      \
    "    movq  %rsi, 80(%r11)\n"                      \
    "    pushfq\n"                                    \
    "    popq  %r10\n"                                \
    "    movq  %r10, 88(%r11)\n"                      \
    "    movsd %xmm0, 96(%r11)\n"

#define TESSALY_CAPTURE_STACK                         \
    "    movq  tessalyStackCaptureBytes(%rip), %rcx\n" \
    "    testq %rcx, %rcx\n"                          \
    "    jz    4f\n"                                  \
    "    movq  8(%r11), %rsi\n"  /* RSP at the call */ \
    "    addq  $64, %rsi\n"      /* the shadow space and argument slots, which the callee may reuse */ \
    "    subq  %rcx, %rsi\n"                          \
    "    movq  tessalyStackCapture(%rip), %rdi\n"     \
    "    rep movsb\n"            /* copied without a push: nothing of ours lands in it */ \
    "4:\n"

#if defined(_WIN64)
constexpr unsigned savedCount = 8;  // RDI and RSI are callee-saved on Windows
constexpr bool xmmSaved = true;

// tessalyCallX64(function, arguments, count) in the Windows x64 convention: four arguments in
// RCX, RDX, R8, R9, the rest on the stack above 32 bytes of shadow space that hold the first
// four. arguments holds at least four slots.
asm(R"(
    .text
    .globl tessalyCallX64
tessalyCallX64:
    pushq %rbp
    pushq %rbx
    pushq %rdi
    pushq %rsi
    pushq %r12
    pushq %r13
    pushq %r14
    pushq %r15
    subq  $160, %rsp
    movdqu %xmm6, 0(%rsp)
    movdqu %xmm7, 16(%rsp)
    movdqu %xmm8, 32(%rsp)
    movdqu %xmm9, 48(%rsp)
    movdqu %xmm10, 64(%rsp)
    movdqu %xmm11, 80(%rsp)
    movdqu %xmm12, 96(%rsp)
    movdqu %xmm13, 112(%rsp)
    movdqu %xmm14, 128(%rsp)
    movdqu %xmm15, 144(%rsp)
    leaq  tessalyCallTrace(%rip), %r11
    movq  %rsp, 0(%r11)
    movq  %rcx, %r10            # function
    movq  %rdx, %rsi            # arguments
    movl  %r8d, %ecx            # count
    movl  %ecx, %eax
    cmpl  $4, %eax
    jae   1f
    movl  $4, %eax
1:  leaq  15(,%rax,8), %rax     # max(count, 4) slots, in whole 16 bytes
    andq  $-16, %rax
    andq  $-16, %rsp
    subq  %rax, %rsp
    xorl  %eax, %eax
2:  cmpl  %ecx, %eax
    jae   3f
    movq  (%rsi,%rax,8), %rdx
    movq  %rdx, (%rsp,%rax,8)
    incl  %eax
    jmp   2b
3:  movq  0(%rsi), %rcx
    movq  8(%rsi), %rdx
    movq  16(%rsi), %r8
    movq  24(%rsi), %r9
    movq  %rsp, 8(%r11)
    leaq  tessalyXmmPattern(%rip), %rax
    movdqa 0(%rax), %xmm6
    movdqa 16(%rax), %xmm7
    movdqa 32(%rax), %xmm8
    movdqa 48(%rax), %xmm9
    movdqa 64(%rax), %xmm10
    movdqa 80(%rax), %xmm11
    movdqa 96(%rax), %xmm12
    movdqa 112(%rax), %xmm13
    movdqa 128(%rax), %xmm14
    movdqa 144(%rax), %xmm15
)" TESSALY_KNOWN_VALUES R"(
    movabsq $0xD1DEFACED1DEFACE, %rdi
    movabsq $0x51C0FFEE51C0FFEE, %rsi
    call  *%r10
)" TESSALY_TRACE_AFTER_CALL R"(
    movdqu %xmm6, 112(%r11)
    movdqu %xmm7, 128(%r11)
    movdqu %xmm8, 144(%r11)
    movdqu %xmm9, 160(%r11)
    movdqu %xmm10, 176(%r11)
    movdqu %xmm11, 192(%r11)
    movdqu %xmm12, 208(%r11)
    movdqu %xmm13, 224(%r11)
    movdqu %xmm14, 240(%r11)
    movdqu %xmm15, 256(%r11)
)" TESSALY_CAPTURE_STACK R"(
    movq  0(%r11), %rsp
    movdqu 0(%rsp), %xmm6
    movdqu 16(%rsp), %xmm7
    movdqu 32(%rsp), %xmm8
    movdqu 48(%rsp), %xmm9
    movdqu 64(%rsp), %xmm10
    movdqu 80(%rsp), %xmm11
    movdqu 96(%rsp), %xmm12
    movdqu 112(%rsp), %xmm13
    movdqu 128(%rsp), %xmm14
    movdqu 144(%rsp), %xmm15
    addq  $160, %rsp
    popq  %r15
    popq  %r14
    popq  %r13
    popq  %r12
    popq  %rsi
    popq  %rdi
    popq  %rbx
    popq  %rbp
    ret
)");
#else
constexpr unsigned savedCount = 6;  // System V: RDI and RSI carry arguments
constexpr bool xmmSaved = false;

// tessalyCallX64(function, arguments, count) in the System V convention: six arguments in RDI,
// RSI, RDX, RCX, R8, R9, the rest on the stack. arguments holds at least six slots.
asm(R"(
    .text
    .globl tessalyCallX64
    .type tessalyCallX64, @function
tessalyCallX64:
    pushq %rbp
    pushq %rbx
    pushq %r12
    pushq %r13
    pushq %r14
    pushq %r15
    leaq  tessalyCallTrace(%rip), %r11
    movq  %rsp, 0(%r11)
    movq  %rdi, %r10            # function
    movq  %rsi, %r11            # arguments
    movl  %edx, %ecx            # count
    movl  %ecx, %eax
    subl  $6, %eax
    jae   1f
    xorl  %eax, %eax
1:  leaq  15(,%rax,8), %rax     # the slots past the sixth, in whole 16 bytes
    andq  $-16, %rax
    andq  $-16, %rsp
    subq  %rax, %rsp
    movl  $6, %eax
2:  cmpl  %ecx, %eax
    jae   3f
    movq  (%r11,%rax,8), %rdx
    movq  %rdx, -48(%rsp,%rax,8)
    incl  %eax
    jmp   2b
3:  movq  0(%r11), %rdi
    movq  8(%r11), %rsi
    movq  16(%r11), %rdx
    movq  24(%r11), %rcx
    movq  32(%r11), %r8
    movq  40(%r11), %r9
    leaq  tessalyCallTrace(%rip), %rax
    movq  %rsp, 8(%rax)
)" TESSALY_KNOWN_VALUES R"(
    call  *%r10
)" TESSALY_TRACE_AFTER_CALL R"(
)" TESSALY_CAPTURE_STACK R"(
    movq  0(%r11), %rsp
    popq  %r15
    popq  %r14
    popq  %r13
    popq  %r12
    popq  %rbx
    popq  %rbp
    ret
    .size tessalyCallX64, .-tessalyCallX64
)");
#endif

std::uint64_t callAndCheck(const void* function, const Slot* arguments, std::uint32_t count,
                           const char* what, double* real) {
    // Register slots past the last argument hold garbage too.
    Slot slots[16];
    std::fill(std::begin(slots), std::end(slots), upperHalfGarbage | 0xDEADBEEF);
    if (count > std::size(slots)) {
        ADD_FAILURE() << what << ": too many arguments for the thunk";
        return 0;
    }
    std::copy(arguments, arguments + count, slots);
    for (unsigned i = 0; i < 10; ++i)
        for (unsigned j = 0; j < 16; ++j) tessalyXmmPattern[i][j] = static_cast<std::uint8_t>(0x60 + 16 * i + j);

    tessalyCallTrace = {};
    const std::uint64_t raw = tessalyCallX64(function, slots, count);
    const CallTrace trace = tessalyCallTrace;

    EXPECT_EQ(trace.rspAfter, trace.rspAtCall) << what << " did not restore RSP";
    for (unsigned i = 0; i < savedCount; ++i)
        EXPECT_EQ(trace.saved[i], knownValues[i]) << what << " did not preserve " << savedNames[i];
    if (xmmSaved) {
        for (unsigned i = 0; i < 10; ++i)
            EXPECT_EQ(std::memcmp(trace.xmm[i], tessalyXmmPattern[i], 16), 0)
                << what << " did not preserve XMM" << 6 + i;
    }
    EXPECT_EQ(trace.flags & 0x400, 0u) << what << " returned with the direction flag set";
    if (real != nullptr) *real = trace.xmm0;
    return raw;
}

#else

void captureStackOfNextCalls(std::uint8_t*, std::size_t) {}

#endif

}  // namespace tessaly::host
