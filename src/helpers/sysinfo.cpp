// The system information helpers: computer name, Windows and System directories, disk space,
// window lookup and the BIOS text.
#include <windows.h>

#include <cstring>
#include <string>

#include "bios_probes.h"
#include "frame/export_entry.h"

namespace {

// A directory from a GetWindowsDirectoryA-like call, however long; empty on failure.
template <typename Query>
std::string directoryFrom(Query query) {
    std::string text(MAX_PATH, '\0');
    UINT length = query(text.data(), static_cast<UINT>(text.size()));
    if (length >= text.size()) {  // too small: the call answered the room it needs
        text.resize(length);
        length = query(text.data(), static_cast<UINT>(text.size()));
    }
    text.resize(length < text.size() ? length : 0);
    return text;
}

// Writes the directory with a trailing backslash. When that and its zero do not fit in size
// bytes, nothing but the empty text is written and the room needed comes back instead; a null
// buffer holds nothing, as a size of 0.
std::uint32_t writeDirectory(std::string directory, char* buffer, std::uint32_t size) {
    if (directory.empty()) return 0;
    if (directory.back() != '\\' && directory.back() != '/') directory += '\\';
    if (buffer == nullptr || directory.size() + 1 > size) {
        if (size >= 1 && buffer != nullptr) buffer[0] = '\0';
        return static_cast<std::uint32_t>(directory.size() + 1);
    }
    std::memcpy(buffer, directory.c_str(), directory.size() + 1);
    return static_cast<std::uint32_t>(directory.size());
}

std::uint32_t clampTo32Bits(ULONGLONG value) { return value > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<std::uint32_t>(value); }

// The native services the BIOS reader uses, looked up in ntdll by name.
struct UnicodeString {
    USHORT length, maximumLength;
    PWSTR buffer;
};
struct ObjectAttributes {
    ULONG length;
    HANDLE rootDirectory;
    UnicodeString* objectName;
    ULONG attributes;
    PVOID securityDescriptor, securityQualityOfService;
};
using RtlInitUnicodeStringFunction = VOID(NTAPI*)(UnicodeString*, PCWSTR);
using NtOpenSectionFunction = LONG(NTAPI*)(PHANDLE, ACCESS_MASK, ObjectAttributes*);
using NtMapViewOfSectionFunction = LONG(NTAPI*)(HANDLE, HANDLE, PVOID*, ULONG_PTR, SIZE_T, PLARGE_INTEGER,
                                                PSIZE_T, DWORD, ULONG, ULONG);
using NtUnmapViewOfSectionFunction = LONG(NTAPI*)(HANDLE, PVOID);

template <typename Function>
Function nativeEntry(HMODULE ntdll, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(ntdll, name)));
}

}  // namespace

// A null buffer, as Windows answers it: 0, and size set to the room needed.
TESSALY_EXPORT std::int32_t TESSALY_API GetComputerName_zk(char* buffer, std::uint32_t* size) {
    if (size == nullptr) return 0;
    if (buffer == nullptr) {  // asked with no room, whatever *size says
        DWORD room = 0;
        GetComputerNameA(nullptr, &room);
        *size = room;
        return 0;
    }
    return GetComputerNameA(buffer, reinterpret_cast<LPDWORD>(size));
}

// Every S form: a null reference does nothing and gives the plain form's failure; a reference
// to a null pointer is the plain form given a null pointer.
TESSALY_EXPORT std::int32_t TESSALY_API GetComputerNameS_zk(char** bufferReference, std::uint32_t* size) {
    return bufferReference ? GetComputerName_zk(*bufferReference, size) : 0;
}

TESSALY_EXPORT std::int32_t TESSALY_API SetComputerName_zk(const char* name) { return SetComputerNameA(name); }

TESSALY_EXPORT std::int32_t TESSALY_API GetWindowsDirectory_zk(char* buffer, std::uint32_t size) {
    return static_cast<std::int32_t>(writeDirectory(directoryFrom(GetWindowsDirectoryA), buffer, size));
}

TESSALY_EXPORT std::int32_t TESSALY_API GetWindowsDirectoryS_zk(char** bufferReference, std::uint32_t size) {
    return bufferReference ? GetWindowsDirectory_zk(*bufferReference, size) : 0;
}

TESSALY_EXPORT std::int32_t TESSALY_API GetSystemDirectory_zk(char* buffer, std::uint32_t size) {
    return static_cast<std::int32_t>(writeDirectory(directoryFrom(GetSystemDirectoryA), buffer, size));
}

TESSALY_EXPORT std::int32_t TESSALY_API GetSystemDirectoryS_zk(char** bufferReference, std::uint32_t size) {
    return bufferReference ? GetSystemDirectory_zk(*bufferReference, size) : 0;
}

// Sizes in bytes, computed in 64 bits; 4294967295 stands for 4 GiB or more; 0 on failure.
TESSALY_EXPORT std::uint32_t TESSALY_API GetDiskSpace_zk(const char* rootPath) {
    ULARGE_INTEGER available, total, free;
    return GetDiskFreeSpaceExA(rootPath, &available, &total, &free) ? clampTo32Bits(total.QuadPart) : 0;
}

TESSALY_EXPORT std::uint32_t TESSALY_API GetDiskFreeSpace_zk(const char* rootPath) {
    ULARGE_INTEGER available, total, free;
    return GetDiskFreeSpaceExA(rootPath, &available, &total, &free) ? clampTo32Bits(free.QuadPart) : 0;
}

TESSALY_EXPORT std::uintptr_t TESSALY_API FindWindow_zk(const char* className, const char* windowName) {
    return reinterpret_cast<std::uintptr_t>(FindWindowA(className, windowName));
}

// 1 when the physical-memory section could be read (buffer then holds the text, possibly
// empty), 0 when it could not be opened (buffer holds the empty text). Buffer: 51 bytes.
TESSALY_EXPORT std::uint8_t TESSALY_API GetBiosInfo_zk(char* buffer) {
    if (buffer == nullptr) return 0;
    buffer[0] = '\0';
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    if (ntdll == nullptr) return 0;
    const auto initUnicodeString = nativeEntry<RtlInitUnicodeStringFunction>(ntdll, "RtlInitUnicodeString");
    const auto openSection = nativeEntry<NtOpenSectionFunction>(ntdll, "NtOpenSection");
    const auto mapViewOfSection = nativeEntry<NtMapViewOfSectionFunction>(ntdll, "NtMapViewOfSection");
    const auto unmapViewOfSection = nativeEntry<NtUnmapViewOfSectionFunction>(ntdll, "NtUnmapViewOfSection");
    if (!initUnicodeString || !openSection || !mapViewOfSection || !unmapViewOfSection) return 0;

    UnicodeString name;
    initUnicodeString(&name, L"\\device\\physicalmemory");
    ObjectAttributes attributes = {sizeof(ObjectAttributes), nullptr, &name, 0x40 /* case-insensitive */, nullptr, nullptr};
    HANDLE section = nullptr;
    if (openSection(&section, SECTION_MAP_READ, &attributes) < 0) return 0;

    // Each probe maps the page that holds its address (one view-size variable serves them
    // all, as the system rewrites it); the view is read only up to its end.
    SIZE_T viewSize = 1;
    PVOID view = nullptr;
    const auto unmapView = [&] {
        if (view != nullptr) unmapViewOfSection(GetCurrentProcess(), view);
        view = nullptr;
    };
    const std::string text = tessaly::bios::readText([&](std::size_t i) -> std::optional<std::span<const std::uint8_t>> {
        unmapView();
        const tessaly::bios::Probe& probe = tessaly::bios::probes[i];
        LARGE_INTEGER offset;
        offset.QuadPart = probe.physicalAddress;
        if (mapViewOfSection(section, GetCurrentProcess(), &view, 0, viewSize, &offset, &viewSize,
                             1 /* shared */, 0, PAGE_READONLY) < 0) {
            view = nullptr;
            return std::nullopt;
        }
        if (probe.pageOffset >= viewSize) return std::nullopt;
        return std::span<const std::uint8_t>(static_cast<const std::uint8_t*>(view) + probe.pageOffset,
                                             viewSize - probe.pageOffset);
    });
    unmapView();
    CloseHandle(section);
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return 1;
}

TESSALY_EXPORT std::uint8_t TESSALY_API GetBiosInfoS_zk(char** bufferReference) {
    return bufferReference ? GetBiosInfo_zk(*bufferReference) : 0;
}
