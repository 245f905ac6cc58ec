// What the frame asks of the platform: the library's own file name and the text conversion
// of that name for Java. One implementation per platform (platform_windows.cpp,
// platform_linux.cpp).
#pragma once

#include <cstddef>
#include <span>

namespace tessaly::frame {

// Separates folders in the names moduleFileName gives.
#if defined(_WIN32)
inline constexpr char pathSeparator = '\\';
#else
inline constexpr char pathSeparator = '/';
#endif

// Writes the full file name of the file this library was loaded from, or failing that of the
// host's executable, with a zero byte, into name; returns its length, 0 when there is none.
// A name that does not fit is cut to name.size() - 1 characters.
std::size_t moduleFileName(std::span<char> name);

// Converts a zero-terminated text of the platform's file-name encoding (the ANSI code page
// on Windows, UTF-8 elsewhere) into UTF-16; returns the count of code units written, at most
// utf16.size().
std::size_t fileNameToUtf16(const char* text, std::span<char16_t> utf16);

}  // namespace tessaly::frame
