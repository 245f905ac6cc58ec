// The frame's platform half on Windows: module file names and the ANSI code page.
#include <windows.h>

#include "platform.h"

// The linker's symbol for this module's own image: its address is the module handle, so the
// name below is the file this code was loaded from, whatever that file is called.
extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace tessaly::frame {

std::size_t moduleFileName(std::span<char> name) {
    const DWORD capacity = static_cast<DWORD>(name.size());
    DWORD length = GetModuleFileNameA(reinterpret_cast<HMODULE>(&__ImageBase), name.data(), capacity);
    if (length == 0) length = GetModuleFileNameA(nullptr, name.data(), capacity);
    if (length >= capacity) length = capacity - 1;  // cut off: no zero written
    name[length] = '\0';
    return length;
}

std::size_t fileNameToUtf16(const char* text, std::span<char16_t> utf16) {
    static_assert(sizeof(WCHAR) == sizeof(char16_t));
    const int length = lstrlenA(text);
    if (length == 0) return 0;
    const int written = MultiByteToWideChar(CP_ACP, 0, text, length, reinterpret_cast<WCHAR*>(utf16.data()),
                                            static_cast<int>(utf16.size()));
    return written > 0 ? static_cast<std::size_t>(written) : 0;
}

}  // namespace tessaly::frame
