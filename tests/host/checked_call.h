// Calls an export the way hosts built with MSVC or VB6 do, and fails the test when the callee
// breaks its calling convention.
//
// 32-bit x86 (stdcall): every call enters the callee with the stack aligned to 4 bytes only
// (the offset from a 16-byte boundary rotates over 0, 4 and 8; GCC code that assumes
// alignment expects 12) and with known values in EBX, ESI and EDI. The test fails unless the
// callee removed exactly its argument bytes and preserved those registers.
//
// x86-64 (the Windows x64 convention, or System V on Linux): every 32-bit argument arrives
// with garbage in the upper half of its register or stack slot, as MSVC callers leave it;
// the callee-saved registers (RBX, RBP, R12 to R15, and on Windows RDI, RSI and XMM6 to
// XMM15) hold known values. The test fails unless the callee kept them, restored RSP and
// returned with the direction flag clear.
//
// The thunks keep their bookkeeping in static storage: checked calls are made from one thread.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace tessaly::host {

// From now on, each checked call copies the bytes of its stack that lie below the call's stack
// pointer plus 64 (so the argument slots and shadow space too) into capture, bytes of them,
// straight after the callee returns and before anything else runs on that stack. Bytes 0 stops.
void captureStackOfNextCalls(std::uint8_t* capture, std::size_t bytes);

#if defined(__i386__) || defined(__x86_64__)
inline constexpr bool callsAreChecked = true;

// One argument as the callee finds it in its register or stack slot.
#if defined(__i386__)
using Slot = std::uint32_t;
#else
using Slot = std::uint64_t;
#endif

// What a caller leaves in the upper half of a 64-bit slot that carries a 32-bit argument.
inline constexpr Slot upperHalfGarbage = sizeof(Slot) == 8 ? static_cast<Slot>(0xBAADF00D'00000000ull) : 0;

// Pointers and 64-bit integers fill their slot; every narrower integer is a 32-bit argument,
// so its upper half gets garbage.
template <typename T>
Slot toSlot(T value) {
    if constexpr (std::is_pointer_v<T> || std::is_null_pointer_v<T>)
        return static_cast<Slot>(reinterpret_cast<std::uintptr_t>(value));
    else if constexpr (sizeof(T) == 8)
        return static_cast<Slot>(value);
    else
        return upperHalfGarbage | static_cast<std::uint32_t>(value);
}

// Calls function with the given slots, checks the trace; returns the raw result (EDX:EAX on
// x86, RAX on x86-64), or stores a floating-point result (ST0 on x86, XMM0 on x86-64) in *real.
std::uint64_t callAndCheck(const void* function, const Slot* arguments, std::uint32_t count,
                           const char* what, double* real = nullptr);

template <typename Result>
Result fromRaw(std::uint64_t raw) {
    if constexpr (std::is_void_v<Result>) {
        return;
    } else if constexpr (std::is_floating_point_v<Result>) {
        static_assert(sizeof(Result) == 0, "use checkedCallDouble");
    } else if constexpr (std::is_pointer_v<Result>) {
        return reinterpret_cast<Result>(static_cast<std::uintptr_t>(raw));
    } else if constexpr (sizeof(Result) == 8) {
        return static_cast<Result>(raw);
    } else {
        return static_cast<Result>(static_cast<std::uint32_t>(raw));
    }
}

// Calls function (an export) with one slot per argument.
template <typename Result = std::int32_t, typename... Args>
Result checkedCall(const void* function, const char* what, Args... args) {
    const std::array<Slot, sizeof...(Args)> slots{toSlot(args)...};
    return fromRaw<Result>(callAndCheck(function, slots.data(), slots.size(), what));
}

// For an export that returns a double.
template <typename... Args>
double checkedCallDouble(const void* function, const char* what, Args... args) {
    const std::array<Slot, sizeof...(Args)> slots{toSlot(args)...};
    double result = 0;
    callAndCheck(function, slots.data(), slots.size(), what, &result);
    return result;
}

#else
// Elsewhere (the Linux library on other processors) the compiler's own call: the conventions
// hosts break are x86's. Nothing is checked and no stack is captured.
inline constexpr bool callsAreChecked = false;

template <typename Result = std::int32_t, typename... Args>
Result checkedCall(const void* function, const char*, Args... args) {
    return reinterpret_cast<Result (*)(Args...)>(const_cast<void*>(function))(args...);
}

template <typename... Args>
double checkedCallDouble(const void* function, const char* what, Args... args) {
    return checkedCall<double>(function, what, args...);
}
#endif

}  // namespace tessaly::host
