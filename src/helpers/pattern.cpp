// The wildcard matcher behind MatchPattern_zk.
#include "pattern.h"

#include <cstdint>

#include "frame/export_entry.h"
#include "helpers/ascii.h"

namespace tessaly::pattern {
namespace {

// Past the "]" that closes the class at q, or at the pattern's end when none does.
const char* skipClass(const char* q) {
    while (*q != '\0' && *q != ']') ++q;
    return *q == ']' ? q + 1 : q;
}

// Whether the class whose first item is at q accepts character; returns the pattern position
// after the class, or null.
const char* acceptClass(const char* q, char character) {
    const auto u = static_cast<std::int8_t>(upperAscii(character));
    std::int8_t previous = 0;  // the low end of a range at the start of the class
    for (;;) {
        const char c = *q;
        if (c == '\0' || c == ']') return nullptr;  // no item accepted
        if (c == '-') {
            const char end = q[1];
            if (end == '\0' || end == ']') return nullptr;
            if (previous <= u && u <= static_cast<std::int8_t>(end)) return skipClass(q + 1);
            previous = static_cast<std::int8_t>(end);
            ++q;  // the range's end is read next as an item of its own
            continue;
        }
        previous = static_cast<std::int8_t>(c);
        ++q;
        if (u == static_cast<std::int8_t>(c)) return skipClass(q);
    }
}

// Whether the one-character element at p (not "*", not the end) accepts character, which
// is not the text's end; returns the pattern position after the element, or null.
const char* acceptElement(const char* p, char character) {
    switch (*p) {
        case '?': return p + 1;
        case '[': return acceptClass(p + 1, character);
        default:
            return upperAscii(character) == *p || lowerAscii(character) == *p ? p + 1 : nullptr;
    }
}

}  // namespace

bool matches(const char* text, const char* pattern) {
    const char* t = text ? text : "";
    const char* p = pattern ? pattern : "";
    const char* afterStar = nullptr;  // pattern position after the last star seen
    const char* starText = nullptr;   // where that star's run currently ends in the text
    for (;;) {
        if (*p == '*') {
            while (*p == '*') ++p;
            afterStar = p;
            starText = t;
            continue;
        }
        if (*p == '\0') {
            if (*t == '\0') return true;
        } else if (*t != '\0') {
            if (const char* next = acceptElement(p, *t)) {
                p = next;
                ++t;
                continue;
            }
        }
        // A mismatch: let the last star take one more character, if there is one.
        if (afterStar == nullptr || *starText == '\0') return false;
        t = ++starText;
        p = afterStar;
    }
}

}  // namespace tessaly::pattern

TESSALY_EXPORT std::int32_t TESSALY_API MatchPattern_zk(const char* text, const char* pattern) {
    return tessaly::pattern::matches(text, pattern) ? 1 : 0;
}
