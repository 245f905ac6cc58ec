// The frame's platform half on Linux: the shared object's file name and UTF-8 file names.
#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>

#include <cstdint>
#include <cstring>

#include "platform.h"

namespace tessaly::frame {

std::size_t moduleFileName(std::span<char> name) {
    Dl_info info{};
    // Any address inside this library names its file; the loader keeps the path it opened.
    const bool found = dladdr(reinterpret_cast<void*>(&moduleFileName), &info) != 0 &&
                       info.dli_fname != nullptr && info.dli_fname[0] != '\0';
    char absolute[PATH_MAX];
    const char* file = nullptr;
    if (found) file = realpath(info.dli_fname, absolute) ? absolute : info.dli_fname;
    else if (realpath("/proc/self/exe", absolute)) file = absolute;  // the host's executable
    std::size_t length = file ? std::strlen(file) : 0;
    if (length >= name.size()) length = name.size() - 1;
    if (length != 0) std::memcpy(name.data(), file, length);
    name[length] = '\0';
    return length;
}

// UTF-8 as RFC 3629 defines it; a byte that does not begin a well-formed sequence becomes
// U+FFFD, as the JVM's own decoders do.
std::size_t fileNameToUtf16(const char* text, std::span<char16_t> utf16) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    std::size_t written = 0;
    auto put = [&](char16_t unit) {
        if (written < utf16.size()) utf16[written++] = unit;
    };
    for (std::size_t i = 0; bytes[i] != 0 && written < utf16.size();) {
        const unsigned lead = bytes[i];
        unsigned length = 0;
        std::uint32_t code = 0, minimum = 0;
        if (lead < 0x80) length = 1, code = lead;
        else if (lead >= 0xC2 && lead <= 0xDF) length = 2, code = lead & 0x1F, minimum = 0x80;
        else if (lead >= 0xE0 && lead <= 0xEF) length = 3, code = lead & 0x0F, minimum = 0x800;
        else if (lead >= 0xF0 && lead <= 0xF4) length = 4, code = lead & 0x07, minimum = 0x10000;
        unsigned taken = 1;
        while (length != 0 && taken < length && (bytes[i + taken] & 0xC0) == 0x80)
            code = (code << 6) | (bytes[i + taken++] & 0x3F);
        const bool valid = length != 0 && taken == length && code >= minimum && code <= 0x10FFFF &&
                           (code < 0xD800 || code > 0xDFFF);
        if (!valid) {
            put(u'\uFFFD');
        } else if (code >= 0x10000) {
            put(static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10)));
            put(static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
        } else {
            put(static_cast<char16_t>(code));
        }
        i += taken;
    }
    return written;
}

}  // namespace tessaly::frame
