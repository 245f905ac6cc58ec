// The wildcard matcher as a literal recursive backtracker, one recursion per star: the
// reference the fast matcher is held against (exponential in the worst case).
#pragma once

#include <cstdint>

namespace tessaly::testing {

inline char upperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }
inline char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

inline int referenceMatch(const char* t, const char* p) {
    for (;;) {
        const char c = *p++;
        if (c == '\0') return *t == '\0';
        if (c == '*') {
            if (*t == '\0') continue;
            for (; *t != '\0'; ++t)
                if (referenceMatch(t, p)) return 1;
            continue;  // the rest of the pattern against the empty remainder
        }
        if (c == '?') {
            if (*t++ == '\0') return 0;
            continue;
        }
        if (c == '[') {
            const char ch = *t++;
            if (ch == '\0') return 0;
            const auto u = static_cast<std::int8_t>(upperAscii(ch));
            std::int8_t previous = 0;
            bool accepted = false;
            while (!accepted) {
                const char k = *p;
                if (k == '\0') return 0;  // an unclosed class that accepted nothing
                ++p;
                if (k == ']') return 0;
                if (k == '-') {
                    const char e = *p;
                    if (e == '\0' || e == ']') return 0;
                    if (previous <= u && u <= static_cast<std::int8_t>(e)) accepted = true;
                    else previous = static_cast<std::int8_t>(e);  // e is read next as an item
                    continue;
                }
                previous = static_cast<std::int8_t>(k);
                if (u == static_cast<std::int8_t>(k)) accepted = true;
            }
            // Skip to past the closing "]"; without one the pattern ends here.
            while (*p != '\0' && *p != ']') ++p;
            if (*p == ']') ++p;
            continue;
        }
        const char ch = *t++;
        if (upperAscii(ch) != c && lowerAscii(ch) != c) return 0;
    }
}

}  // namespace tessaly::testing
