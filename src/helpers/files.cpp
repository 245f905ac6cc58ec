// The file, directory and path helpers, over the Windows file API and the C streams.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "frame/export_entry.h"

namespace {

// The host executable's full file name, however long; empty when it cannot be had.
std::string executableFileName() {
    std::string name(MAX_PATH, '\0');
    for (;;) {
        const DWORD length = GetModuleFileNameA(nullptr, name.data(), static_cast<DWORD>(name.size()));
        if (length == 0) return {};
        if (length < name.size()) {
            name.resize(length);
            return name;
        }
        if (name.size() >= 32768) return {};  // longer than any Windows path
        name.resize(name.size() * 2);         // cut off: ask again with more room
    }
}

// The output rule of GetExeFilename_zk and GetExePath_zk: the whole text when it fits in
// *size characters (and *size becomes its length), else the first *size characters with
// *size unchanged; a negative *size gives the empty text.
void writeLimited(const std::string& text, char* buffer, std::int32_t* size) {
    if (buffer == nullptr || size == nullptr) return;
    if (*size < 0) {
        buffer[0] = '\0';
        return;
    }
    if (text.size() <= static_cast<std::size_t>(*size)) {
        std::memcpy(buffer, text.c_str(), text.size() + 1);
        *size = static_cast<std::int32_t>(text.size());
        return;
    }
    std::memcpy(buffer, text.data(), static_cast<std::size_t>(*size));
    buffer[*size] = '\0';
}

// The first match of a file search (wildcards allowed; files and directories alike).
bool findFirst(const char* name, WIN32_FIND_DATAA& found) {
    if (name == nullptr) return false;
    const HANDLE search = FindFirstFileA(name, &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    FindClose(search);
    return true;
}

// The full path of a search match: the searched name made absolute and cut before its last
// backslash or slash, then a backslash (unless that root ends in one) and the match's name.
std::string fullPathOfMatch(const char* searched, const char* matchName) {
    std::string absolute(MAX_PATH, '\0');
    DWORD length = GetFullPathNameA(searched, static_cast<DWORD>(absolute.size()), absolute.data(), nullptr);
    if (length >= absolute.size()) {
        absolute.resize(length + 1);
        length = GetFullPathNameA(searched, static_cast<DWORD>(absolute.size()), absolute.data(), nullptr);
    }
    absolute.resize(length < absolute.size() ? length : 0);
    const std::size_t cut = absolute.find_last_of("\\/");
    std::string root = cut == std::string::npos ? std::string() : absolute.substr(0, cut);
    if (root.empty() || (root.back() != '\\' && root.back() != '/')) root += '\\';
    return root + matchName;
}

bool isDotEntry(const char* name) {
    return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

// fullPath receives at most this many bytes, the zero included (MAX_PATH).
constexpr std::size_t fullPathRoom = MAX_PATH;

}  // namespace

TESSALY_EXPORT char* TESSALY_API NameFromPath_zk(const char* path) {
    const std::string_view text = path ? path : "";
    std::string_view name = text;
    if (text.size() >= 2) {
        // From the end down to index 1 (index 0 is never looked at), a backslash or a colon.
        const std::size_t separator = text.find_last_of("\\:");
        if (separator != std::string_view::npos && separator >= 1) name = text.substr(separator + 1);
    }
    // A new string on the C runtime's heap, never released by the library.
    auto* copy = static_cast<char*>(std::malloc(name.size() + 1));
    if (copy == nullptr) return nullptr;
    std::memcpy(copy, name.data(), name.size());
    copy[name.size()] = '\0';
    return copy;
}

// Text mode: CR LF arrives as LF and a Ctrl-Z byte ends the data. Reads in chunks of at most
// 1024 bytes; buffer needs room for *size + 1 bytes.
TESSALY_EXPORT std::int32_t TESSALY_API ReadFileString_zk(const char* fileName, char* buffer,
                                                          std::int32_t* size) {
    if (fileName == nullptr) return 1;
    std::FILE* file = std::fopen(fileName, "r");
    if (file == nullptr) return 1;
    if (size == nullptr || buffer == nullptr || *size < 1) {
        std::fclose(file);
        return 0;
    }
    const std::size_t wanted = static_cast<std::size_t>(*size);
    std::size_t read = 0;
    while (read < wanted) {
        const std::size_t chunk = wanted - read < 1024 ? wanted - read : 1024;
        const std::size_t got = std::fread(buffer + read, 1, chunk, file);
        read += got;
        if (got == 0) break;
    }
    std::fclose(file);
    buffer[read] = '\0';
    *size = static_cast<std::int32_t>(read);
    return 0;
}

TESSALY_EXPORT void TESSALY_API GetExeFilename_zk(char* buffer, std::int32_t* size) {
    std::string name = executableFileName();
    if (const std::size_t slash = name.rfind('\\'); slash != std::string::npos) name.erase(0, slash + 1);
    if (const std::size_t colon = name.rfind(':'); colon != std::string::npos) name.erase(0, colon + 1);
    writeLimited(name, buffer, size);
}

TESSALY_EXPORT void TESSALY_API GetExeFilenameS_zk(char** bufferReference, std::int32_t* size) {
    if (bufferReference != nullptr) GetExeFilename_zk(*bufferReference, size);
}

TESSALY_EXPORT void TESSALY_API GetExePath_zk(char* buffer, std::int32_t* size) {
    const std::string name = executableFileName();
    const std::size_t slash = name.rfind('\\');
    writeLimited(slash == std::string::npos ? std::string(".\\") : name.substr(0, slash + 1), buffer, size);
}

TESSALY_EXPORT void TESSALY_API GetExePathS_zk(char** bufferReference, std::int32_t* size) {
    if (bufferReference != nullptr) GetExePath_zk(*bufferReference, size);
}

// Creates each missing level of path up to its last separator ("\" or "/", written as "\");
// stops at the first level that can be neither found nor created.
TESSALY_EXPORT void TESSALY_API CheckDirectory_zk(const char* path) {
    if (path == nullptr) return;
    std::string prefix;
    for (const char* c = path; *c != '\0'; ++c) {
        if (*c != '\\' && *c != '/') {
            prefix += *c;
            continue;
        }
        prefix += '\\';
        WIN32_FIND_DATAA found;
        if (!findFirst((prefix + "*.*").c_str(), found) && !CreateDirectoryA(prefix.c_str(), nullptr)) return;
    }
}

// Returns the full path's length, 0 when nothing is found. A full path that does not fit in
// 260 bytes with its zero is not written: fullPath then holds the empty text, and the result
// (260 or more) tells the room it needs, as the Windows path functions do.
TESSALY_EXPORT std::int32_t TESSALY_API FileExists_zk(const char* name, char* fullPath) {
    WIN32_FIND_DATAA found;
    if (!findFirst(name, found)) return 0;
    const std::string full = fullPathOfMatch(name, found.cFileName);
    if (fullPath != nullptr) {
        if (full.size() < fullPathRoom)
            std::memcpy(fullPath, full.c_str(), full.size() + 1);
        else
            fullPath[0] = '\0';
    }
    return static_cast<std::int32_t>(full.size());
}

TESSALY_EXPORT std::int32_t TESSALY_API FileExistsS_zk(const char* name, char** fullPathReference) {
    return fullPathReference ? FileExists_zk(name, *fullPathReference) : 0;
}

// The size of the first match; 4294967295 for 4 GiB or more, 0 when nothing is found.
TESSALY_EXPORT std::uint32_t TESSALY_API GetFileSize_zk(const char* name) {
    WIN32_FIND_DATAA found;
    if (!findFirst(name, found)) return 0;
    if (found.nFileSizeHigh != 0) return 0xFFFFFFFFu;
    return found.nFileSizeLow;
}

TESSALY_EXPORT std::int32_t TESSALY_API CopyFile_zk(const char* source, const char* target,
                                                    std::int32_t failIfExists) {
    return CopyFileA(source, target, (failIfExists & 0xFF) != 0) ? 1 : 0;  // a byte value
}

TESSALY_EXPORT std::int32_t TESSALY_API MoveFile_zk(const char* source, const char* target) {
    return MoveFileA(source, target) ? 1 : 0;
}

// The first match's creation time in local time, as six numbers; any time Windows can hold.
TESSALY_EXPORT std::int32_t TESSALY_API GetFileCreationTime_zk(const char* name, std::int32_t* year,
                                                               std::int32_t* month, std::int32_t* day,
                                                               std::int32_t* hour, std::int32_t* minute,
                                                               std::int32_t* second) {
    WIN32_FIND_DATAA found;
    if (!findFirst(name, found)) return 0;
    FILETIME local;
    SYSTEMTIME fields;
    if (!FileTimeToLocalFileTime(&found.ftCreationTime, &local) || !FileTimeToSystemTime(&local, &fields))
        return 0;
    const std::pair<std::int32_t*, WORD> outputs[] = {{year, fields.wYear},   {month, fields.wMonth},
                                                      {day, fields.wDay},     {hour, fields.wHour},
                                                      {minute, fields.wMinute}, {second, fields.wSecond}};
    for (const auto& [out, value] : outputs)
        if (out != nullptr) *out = value;
    return 1;
}

// Empties directory (depth first; it stays, empty). A directory link (a reparse point:
// symbolic link or junction) is removed itself and never followed, so nothing outside the
// named directory is touched. Files that cannot be deleted stay; a subdirectory that cannot
// be emptied or removed stops the walk with 0.
TESSALY_EXPORT std::int32_t TESSALY_API RemoveDirectory_zk(const char* directory) {
    if (directory == nullptr) return 1;
    std::string root = directory;
    if (root.empty() || (root.back() != '\\' && root.back() != '/')) root += '\\';
    WIN32_FIND_DATAA entry;
    const HANDLE search = FindFirstFileA((root + "*.*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return 1;
    std::int32_t result = 1;
    do {
        if (isDotEntry(entry.cFileName)) continue;
        const std::string path = root + entry.cFileName;
        const DWORD attributes = entry.dwFileAttributes;
        if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            DeleteFileA(path.c_str());  // a failure leaves the file and the walk goes on
            continue;
        }
        const bool link = attributes & FILE_ATTRIBUTE_REPARSE_POINT;
        if ((!link && RemoveDirectory_zk((path + '\\').c_str()) == 0) || !RemoveDirectoryA(path.c_str())) {
            result = 0;
            break;
        }
    } while (FindNextFileA(search, &entry));
    FindClose(search);
    return result;
}
