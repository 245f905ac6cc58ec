// Calls an export the way VB6 and MSVC hosts do, and fails the test when the callee breaks
// the stdcall contract.
//
// Every call enters the callee with the stack aligned to 4 bytes only (the offset from a
// 16-byte boundary rotates over 0, 4 and 8; GCC code that assumes alignment expects 12) and
// with known values in EBX, ESI and EDI. The test fails unless the callee removed exactly
// its argument bytes and preserved those registers.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace tessaly::wine {

// Filled by the call thunk (checked_call.cpp); offsets are fixed by the assembly.
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

// Checks the trace; returns the raw EDX:EAX result, or stores the ST0 result in *st0.
std::uint64_t callAndCheck(const void* function, const std::uint32_t* arguments,
                           std::uint32_t count, const char* what, double* st0 = nullptr);

template <typename T>
std::uint32_t toSlot(T value) {
    if constexpr (std::is_pointer_v<T> || std::is_null_pointer_v<T>)
        return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(value));
    else
        return static_cast<std::uint32_t>(value);
}

template <typename Result>
Result fromRaw(std::uint64_t raw) {
    if constexpr (std::is_void_v<Result>) {
        return;
    } else if constexpr (std::is_floating_point_v<Result>) {
        static_assert(sizeof(Result) == 0, "use checkedCallDouble");
    } else if constexpr (std::is_pointer_v<Result>) {
        return reinterpret_cast<Result>(static_cast<std::uintptr_t>(static_cast<std::uint32_t>(raw)));
    } else if constexpr (sizeof(Result) == 8) {
        return static_cast<Result>(raw);
    } else {
        return static_cast<Result>(static_cast<std::uint32_t>(raw));
    }
}

// Calls function (a stdcall export) with one 32-bit slot per argument.
template <typename Result = std::int32_t, typename... Args>
Result checkedCall(const void* function, const char* what, Args... args) {
    const std::array<std::uint32_t, sizeof...(Args)> slots{toSlot(args)...};
    return fromRaw<Result>(callAndCheck(function, slots.data(), slots.size(), what));
}

// For an export that returns a double: stdcall returns it in ST0.
template <typename... Args>
double checkedCallDouble(const void* function, const char* what, Args... args) {
    const std::array<std::uint32_t, sizeof...(Args)> slots{toSlot(args)...};
    double result = 0;
    callAndCheck(function, slots.data(), slots.size(), what, &result);
    return result;
}

}  // namespace tessaly::wine
