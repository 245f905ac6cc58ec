// Wiping secrets from memory in a way the optimiser may not drop.
#pragma once

#include <cstddef>
#include <cstring>

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

}  // namespace tessaly
