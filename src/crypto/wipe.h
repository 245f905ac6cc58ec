// Wiping secrets from memory in a way the optimiser may not drop.
#pragma once

#include <array>
#include <cstddef>
#include <cstring>
#include <type_traits>

namespace tessaly {

// Zeroes n bytes at p. The empty asm statement claims to read the memory, so the stores
// stay even when p is never read again.
inline void wipe(void* p, std::size_t n) {
    std::memset(p, 0, n);
    __asm__ __volatile__("" : : "r"(p) : "memory");
}

template <typename T>
void wipeObject(T& object) {
    wipe(&object, sizeof object);
}

namespace detail {

template <typename Work>
[[gnu::noinline]] decltype(auto) runInFrameOfItsOwn(Work& work) {
    return work();
}

template <std::size_t depth>
[[gnu::noinline]] void zeroStackBelowCaller() {
    std::array<std::byte, depth> area;  // the frame the work's frame occupied
    wipe(area.data(), area.size());
}

}  // namespace detail

// Runs work in a frame of its own below the caller's, then zeroes depth bytes of stack there.
// Wiping objects cannot reach what the compiler keeps for itself: a round key spilled from a
// register, a copy in a temporary. Whatever a keyed call leaves on the stack goes with this.
// depth covers the deepest the work goes on every target (the residue test measures it).
template <std::size_t depth, typename Work>
decltype(auto) withStackScrubbed(Work&& work) {
    if constexpr (std::is_void_v<std::invoke_result_t<Work&>>) {
        detail::runInFrameOfItsOwn(work);
        detail::zeroStackBelowCaller<depth>();
    } else {
        auto result = detail::runInFrameOfItsOwn(work);
        detail::zeroStackBelowCaller<depth>();
        return result;
    }
}

// How deep the keyed exports go, with room to spare.
inline constexpr std::size_t cipherStackDepth = 8 * 1024;
inline constexpr std::size_t digestStackDepth = 2 * 1024;
inline constexpr std::size_t rsaStackDepth = 32 * 1024;

}  // namespace tessaly
