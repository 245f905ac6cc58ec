// Case conversion of the helpers: the ASCII letters only, whatever the code page.
#pragma once

namespace tessaly {

constexpr char upperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }
constexpr char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

}  // namespace tessaly
