// The registry helpers: one string value under HKEY_LOCAL_MACHINE, read or written.
#include <windows.h>

#include <cstdint>
#include <cstring>

#include "frame/export_entry.h"

namespace {

constexpr DWORD valueRoom = 256;  // what a caller's buffer holds, zero included

// Both DLLs work in the 32-bit view, where 32-bit hosts and their installers keep their
// values; a 32-bit process is there already, and the flag would change nothing in its build.
#if defined(_WIN64)
constexpr REGSAM registryView = KEY_WOW64_32KEY;
#else
constexpr REGSAM registryView = 0;
#endif

// 2: read, the value could not be read or is no string; written, it could not be stored.
enum Result : std::int32_t { done = 0, keyNotOpened = 1, valueFailed = 2 };

}  // namespace

// Opens the key for reading only, so callers without write rights can read. Whatever the
// query leaves in buffer ends in a zero: a stored string that fills all 256 bytes without
// one gives valueFailed, and so does a null buffer, which nothing can be read into.
TESSALY_EXPORT std::int32_t TESSALY_API ReadRegistryKey_zk(const char* subKey, const char* valueName, char* buffer) {
    if (buffer == nullptr) return valueFailed;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subKey, 0, KEY_READ | registryView, &key) != ERROR_SUCCESS) return keyNotOpened;
    DWORD type = 0, size = valueRoom;
    const LONG status = RegQueryValueExA(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    if (status == ERROR_MORE_DATA) buffer[valueRoom - 1] = '\0';
    if (status != ERROR_SUCCESS) return valueFailed;
    const bool unterminated = size == valueRoom && buffer[valueRoom - 1] != '\0';
    buffer[size < valueRoom ? size : valueRoom - 1] = '\0';
    if (type != REG_SZ || unterminated) return valueFailed;  // other types leave their raw bytes
    return done;
}

TESSALY_EXPORT std::int32_t TESSALY_API ReadRegistryKeyS_zk(const char* subKey, const char* valueName,
                                                            char** bufferReference) {
    return bufferReference ? ReadRegistryKey_zk(subKey, valueName, *bufferReference) : valueFailed;
}

// 0 stored, 1 the key cannot be opened (it is never created), 2 the value was not stored. A
// null text stores the empty string.
TESSALY_EXPORT std::int32_t TESSALY_API WriteRegistryKey_zk(const char* subKey, const char* valueName, const char* text) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subKey, 0, KEY_SET_VALUE | registryView, &key) != ERROR_SUCCESS) return keyNotOpened;
    const char* value = text ? text : "";
    const LONG status = RegSetValueExA(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                                       static_cast<DWORD>(std::strlen(value) + 1));
    RegCloseKey(key);
    return status == ERROR_SUCCESS ? done : valueFailed;
}
