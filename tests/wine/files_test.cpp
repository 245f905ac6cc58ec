// The file, directory and path helpers through the DLL, on real files: a fixture folder that
// file_fixtures.sh builds beforehand (with a directory symbolic link) and checks afterwards.
#include <algorithm>
#include <string>
#include <vector>

#include "dll_under_test.h"

namespace tessaly::host {
namespace {

// The fixture folder in Windows spelling, ending in a backslash.
const std::string fixtures = [] {
    std::string path = TESSALY_FILE_FIXTURES;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path + '\\';
}();

std::string at(const std::string& name) { return fixtures + name; }

bool exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void writeFile(const std::string& path, const std::string& content) {
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    DWORD written = 0;
    WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    CloseHandle(file);
}

TEST(NameFromPath, Examples) {
    const std::pair<const char*, const char*> cases[] = {
        {"C:\\dir\\file.txt", "file.txt"}, {"C:file.txt", "file.txt"}, {"C:\\dir\\", ""},
        {"\\file", "\\file"}, {"dir/file", "dir/file"}, {"x", "x"}, {"", ""}};
    for (const auto& [path, name] : cases) {
        char* copy = callExport<char*>("NameFromPath_zk", path);
        ASSERT_NE(copy, nullptr);
        EXPECT_STREQ(copy, name) << path;
        EXPECT_NE(copy, path) << "a new string";
    }
}

TEST(ReadFileString, ChunksTextModeAndFailures) {
    std::vector<char> buffer(6000, '#');
    std::int32_t size = 5000;
    EXPECT_EQ(callExport("ReadFileString_zk", at("text3000.txt").c_str(), buffer.data(), &size), 0);
    EXPECT_EQ(size, 3000);
    EXPECT_EQ(std::count(buffer.begin(), buffer.begin() + 3000, 'x'), 3000);
    EXPECT_EQ(buffer[3000], '\0');
    EXPECT_EQ(buffer[3001], '#');

    size = 100;
    EXPECT_EQ(callExport("ReadFileString_zk", at("crlf.txt").c_str(), buffer.data(), &size), 0);
    EXPECT_EQ(std::string(buffer.data(), size), "one\ntwo\nthree") << "CR LF as LF, Ctrl-Z ends";

    size = 2;
    EXPECT_EQ(callExport("ReadFileString_zk", at("crlf.txt").c_str(), buffer.data(), &size), 0);
    EXPECT_EQ(size, 2);
    EXPECT_EQ(std::string(buffer.data(), 3), std::string("on\0", 3));

    std::fill(buffer.begin(), buffer.end(), '#');
    size = 0;
    EXPECT_EQ(callExport("ReadFileString_zk", at("crlf.txt").c_str(), buffer.data(), &size), 0);
    EXPECT_EQ(size, 0);
    EXPECT_EQ(buffer[0], '#') << "size 0 changes nothing";
    size = 10;
    EXPECT_EQ(callExport("ReadFileString_zk", at("missing.txt").c_str(), buffer.data(), &size), 1);
    EXPECT_EQ(size, 10);
}

TEST(ExecutableName, SizeInOutAndSForms) {
    const std::string exe = moduleFileName(nullptr);
    const std::string name = exe.substr(exe.rfind('\\') + 1), folder = directoryOf(exe);
    char buffer[300];
    std::int32_t size = 3;
    callExport<void>("GetExeFilename_zk", buffer, &size);
    EXPECT_STREQ(buffer, name.substr(0, 3).c_str());
    EXPECT_EQ(size, 3) << "cut off: size stays";
    size = 50;
    callExport<void>("GetExeFilename_zk", buffer, &size);
    EXPECT_EQ(buffer, name);
    EXPECT_EQ(size, static_cast<std::int32_t>(name.size()));
    size = -1;
    callExport<void>("GetExeFilename_zk", buffer, &size);
    EXPECT_STREQ(buffer, "");

    size = 299;
    callExport<void>("GetExePath_zk", buffer, &size);
    EXPECT_EQ(buffer, folder);
    EXPECT_EQ(size, static_cast<std::int32_t>(folder.size()));

    char other[300] = {};
    char* reference = other;
    size = 299;
    callExport<void>("GetExePathS_zk", &reference, &size);
    EXPECT_EQ(other, folder);
    size = 299;
    callExport<void>("GetExeFilenameS_zk", &reference, &size);
    EXPECT_EQ(other, name);
    EXPECT_EQ(reference, other);
}

TEST(CheckDirectory, CreatesTheMissingLevels) {
    callExport<void>("CheckDirectory_zk", at("made\\x\\y\\z").c_str());
    EXPECT_TRUE(exists(at("made\\x\\y")));
    EXPECT_FALSE(exists(at("made\\x\\y\\z")));
    std::string slashes = at("made-slashes/x/y/");
    callExport<void>("CheckDirectory_zk", slashes.c_str());
    EXPECT_TRUE(exists(at("made-slashes\\x\\y")));
    callExport<void>("CheckDirectory_zk", "\\\\no-such-host\\share\\dir\\");  // stops at once
    callExport<void>("CheckDirectory_zk", nullptr);
}

TEST(FileExists, FullPathsAndTheRoomRule) {
    ASSERT_TRUE(SetCurrentDirectoryA(fixtures.c_str()));
    char full[MAX_PATH];
    const std::string expected = at("notes.txt");
    EXPECT_EQ(callExport("FileExists_zk", "notes.txt", full), static_cast<std::int32_t>(expected.size()));
    EXPECT_EQ(full, expected);
    EXPECT_EQ(callExport("FileExists_zk", "notes.txt", nullptr), static_cast<std::int32_t>(expected.size()));
    EXPECT_EQ(callExport("FileExists_zk", "not-there.txt", full), 0);
    EXPECT_EQ(full, expected) << "untouched when nothing is found";
    EXPECT_GT(callExport("FileExists_zk", "note?.tx*", full), 0) << "a wildcard gives the first match";
    EXPECT_EQ(full, expected);
    char other[MAX_PATH] = {};
    char* reference = other;
    EXPECT_GT(callExport("FileExistsS_zk", at("crlf.txt").c_str(), &reference), 0);
    EXPECT_EQ(other, at("crlf.txt"));
}

TEST(FileExists, AFullPathTooLongForItsRoomIsNotWritten) {
    // A short search whose match has a long name.
    const std::string expected = at(std::string(236, 'w') + ".txt");
    std::vector<char> full(400, '#');
    const std::int32_t length = callExport("FileExists_zk", at("www*").c_str(), full.data());
    EXPECT_EQ(length, static_cast<std::int32_t>(expected.size()));
    EXPECT_GE(length, 260);
    EXPECT_EQ(full[0], '\0') << "the empty text instead";
    EXPECT_TRUE(std::all_of(full.begin() + 1, full.end(), [](char c) { return c == '#'; })) << "nothing past it";
}

TEST(FileSize, SmallMissingDirectoryAndHuge) {
    EXPECT_EQ(callExport<std::uint32_t>("GetFileSize_zk", at("text3000.txt").c_str()), 3000u);
    EXPECT_EQ(callExport<std::uint32_t>("GetFileSize_zk", at("missing").c_str()), 0u);
    EXPECT_EQ(callExport<std::uint32_t>("GetFileSize_zk", at("tree").c_str()), 0u);
    EXPECT_EQ(callExport<std::uint32_t>("GetFileSize_zk", at("big.bin").c_str()), 4294967295u) << "5 GiB";
}

TEST(CopyAndMove, FailIfExistsIsOneByte) {
    writeFile(at("copy-target.txt"), "old");
    EXPECT_EQ(callExport("CopyFile_zk", at("notes.txt").c_str(), at("copy-target.txt").c_str(), 1), 0);
    EXPECT_EQ(callExport("CopyFile_zk", at("notes.txt").c_str(), at("copy-target.txt").c_str(), 256), 1);
    writeFile(at("copy-target.txt"), "old");
    EXPECT_EQ(callExport("CopyFile_zk", at("notes.txt").c_str(), at("copy-target.txt").c_str(), 0), 1);
    EXPECT_EQ(callExport("CopyFile_zk", at("missing").c_str(), at("copy-2.txt").c_str(), 0), 0);
    writeFile(at("to-move.txt"), "moving");
    EXPECT_EQ(callExport("MoveFile_zk", at("to-move.txt").c_str(), at("moved.txt").c_str()), 1);
    EXPECT_EQ(callExport("MoveFile_zk", at("to-move.txt").c_str(), at("moved-again.txt").c_str()), 0);
}

TEST(FileCreationTime, LocalFieldsOfTheFirstMatch) {
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA(at("notes.txt").c_str(), &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    FindClose(search);
    FILETIME local;
    SYSTEMTIME expected;
    FileTimeToLocalFileTime(&found.ftCreationTime, &local);
    FileTimeToSystemTime(&local, &expected);
    std::int32_t year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    EXPECT_EQ(callExport("GetFileCreationTime_zk", at("notes.txt").c_str(), &year, &month, &day, &hour, &minute, &second), 1);
    EXPECT_EQ(year, expected.wYear);
    EXPECT_EQ(month, expected.wMonth);
    EXPECT_EQ(day, expected.wDay);
    EXPECT_EQ(hour, expected.wHour);
    EXPECT_EQ(minute, expected.wMinute);
    EXPECT_EQ(second, expected.wSecond);
    year = -5;
    EXPECT_EQ(callExport("GetFileCreationTime_zk", at("missing").c_str(), &year, &month, &day, &hour, &minute, &second), 0);
    EXPECT_EQ(year, -5);
}

TEST(RemoveDirectoryZk, EmptiesTheTreeDepthFirstAndKeepsIt) {
    EXPECT_EQ(callExport("RemoveDirectory_zk", at("no-such-dir\\").c_str()), 1);
    EXPECT_EQ(callExport("RemoveDirectory_zk", at("tree").c_str()), 1) << "a trailing backslash is added";
    EXPECT_TRUE(exists(at("tree")));
    EXPECT_FALSE(exists(at("tree\\a.txt")));
    EXPECT_FALSE(exists(at("tree\\sub")));
}

// A directory link is removed itself, never followed. (Wine 8 cannot remove a Unix directory
// symbolic link through RemoveDirectoryA; there the walk stops with 0 and the link stays.)
TEST(RemoveDirectoryZk, NeverFollowsADirectoryLink) {
    ASSERT_TRUE(exists(at("linked-tree\\link-to-outside\\keep.txt"))) << "the fixture's link";
    const std::int32_t result = callExport("RemoveDirectory_zk", at("linked-tree\\").c_str());
    EXPECT_TRUE(exists(at("outside\\keep.txt")));
    EXPECT_TRUE(exists(at("outside\\inner\\keep.txt")));
    EXPECT_TRUE(exists(at("linked-tree")));
    EXPECT_EQ(result, exists(at("linked-tree\\link-to-outside")) ? 0 : 1);
}

TEST(RemoveDirectoryZk, AReadOnlyFileStopsItsSubdirectory) {
    ASSERT_TRUE(SetFileAttributesA(at("readonly-tree\\sub\\r.txt").c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(callExport("RemoveDirectory_zk", at("readonly-tree\\").c_str()), 0);
    EXPECT_TRUE(exists(at("readonly-tree\\sub\\r.txt")));
}

}  // namespace
}  // namespace tessaly::host
