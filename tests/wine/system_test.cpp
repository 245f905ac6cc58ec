// System information, registry values, process launching and message boxes through the DLL.
// The message boxes need a display: ctest runs this suite under Xvfb.
#include <atomic>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "dll_under_test.h"
#include "tessaly.h"

namespace tessaly::host {
namespace {

TEST(SystemInformation, ComputerNameReadSetAndRestored) {
    char expected[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD expectedSize = sizeof expected;
    ASSERT_TRUE(GetComputerNameA(expected, &expectedSize));
    char name[64] = {};
    std::uint32_t size = sizeof name;
    EXPECT_NE(callExport("GetComputerName_zk", name, &size), 0);
    EXPECT_STREQ(name, expected);
    EXPECT_EQ(size, expectedSize);
    char other[64] = {};
    char* reference = other;
    size = sizeof other;
    EXPECT_NE(callExport("GetComputerNameS_zk", &reference, &size), 0);
    EXPECT_STREQ(other, expected);
    EXPECT_NE(callExport("SetComputerName_zk", "TESSALYTEST"), 0);
    EXPECT_NE(callExport("SetComputerName_zk", expected), 0);
}

TEST(SystemInformation, WindowsAndSystemDirectories) {
    for (const auto& [exportName, query] : {std::pair{"GetWindowsDirectory_zk", &GetWindowsDirectoryA},
                                            std::pair{"GetSystemDirectory_zk", &GetSystemDirectoryA}}) {
        char raw[MAX_PATH];
        std::string expected(raw, query(raw, MAX_PATH));
        if (expected.back() != '\\') expected += '\\';
        char buffer[MAX_PATH + 8];
        EXPECT_EQ(callExport(exportName, buffer, sizeof buffer), static_cast<std::int32_t>(expected.size())) << exportName;
        EXPECT_EQ(buffer, expected);
        std::memset(buffer, '#', sizeof buffer);
        // Too small for the directory, its backslash and the zero: the room needed, empty text.
        const auto tight = static_cast<std::uint32_t>(expected.size());
        EXPECT_EQ(callExport(exportName, buffer, tight), static_cast<std::int32_t>(expected.size() + 1)) << exportName;
        EXPECT_EQ(buffer[0], '\0');
        EXPECT_EQ(buffer[1], '#') << "nothing else written";
        buffer[0] = '#';
        EXPECT_EQ(callExport(exportName, buffer, 0), static_cast<std::int32_t>(expected.size() + 1));
        EXPECT_EQ(buffer[0], '#') << "a size of 0 writes nothing";
    }
    char buffer[MAX_PATH + 8];
    char* reference = buffer;
    EXPECT_GT(callExport("GetWindowsDirectoryS_zk", &reference, sizeof buffer), 0);
    EXPECT_GT(callExport("GetSystemDirectoryS_zk", &reference, sizeof buffer), 0);
    EXPECT_EQ(buffer[std::strlen(buffer) - 1], '\\');
}

TEST(SystemInformation, DiskSpaceInSixtyFourBits) {
    ULARGE_INTEGER available, total, free;
    ASSERT_TRUE(GetDiskFreeSpaceExA("C:\\", &available, &total, &free));
    const auto clamp = [](ULONGLONG v) { return v > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<std::uint32_t>(v); };
    EXPECT_EQ(callExport<std::uint32_t>("GetDiskSpace_zk", "C:\\"), clamp(total.QuadPart));
    // Free space moves while tests run; allow a little.
    const std::uint32_t freeNow = callExport<std::uint32_t>("GetDiskFreeSpace_zk", "C:\\");
    EXPECT_NEAR(static_cast<double>(freeNow), static_cast<double>(clamp(free.QuadPart)), 64.0 * 1024 * 1024);
    EXPECT_EQ(callExport<std::uint32_t>("GetDiskSpace_zk", "K:\\"), 0u) << "a drive that is not there";
    EXPECT_EQ(callExport<std::uint32_t>("GetDiskFreeSpace_zk", "K:\\"), 0u);
}

TEST(SystemInformation, BiosReaderFailsCleanlyWithoutPhysicalMemory) {
    char buffer[51];
    std::memset(buffer, '#', sizeof buffer);
    const auto result = callExport<std::uint8_t>("GetBiosInfo_zk", buffer);
    if (result == 1) GTEST_SKIP() << "this system lets the test read physical memory";
    EXPECT_EQ(buffer[0], '\0');
    char* reference = buffer;
    buffer[0] = '#';
    EXPECT_EQ(callExport<std::uint8_t>("GetBiosInfoS_zk", &reference), 0);
    EXPECT_EQ(buffer[0], '\0');
}

// ---- registry ----

// Both DLLs work in the 32-bit view of the registry, so the tests make their keys there.
class Registry : public ::testing::Test {
protected:
    void SetUp() override {
        key_ = "SOFTWARE\\TessalyTests\\" + std::to_string(GetCurrentProcessId());
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, key_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY,
                                  nullptr, &handle_, nullptr),
                  ERROR_SUCCESS);
    }
    void TearDown() override {
        RegCloseKey(handle_);
        RegDeleteKeyExA(HKEY_LOCAL_MACHINE, key_.c_str(), KEY_WOW64_32KEY, 0);
        RegDeleteKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\TessalyTests", KEY_WOW64_32KEY, 0);
    }
    void store(const char* name, DWORD type, const void* data, DWORD size) {
        ASSERT_EQ(RegSetValueExA(handle_, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
    }
    std::int32_t read(const char* name, char* buffer) { return callExport("ReadRegistryKey_zk", key_.c_str(), name, buffer); }

    std::string key_;
    HKEY handle_ = nullptr;
};

TEST_F(Registry, RoundTripsAndTheStringLimit) {
    char buffer[300];
    EXPECT_EQ(callExport("WriteRegistryKey_zk", key_.c_str(), "greeting", "hello"), 0);
    EXPECT_EQ(read("greeting", buffer), 0);
    EXPECT_STREQ(buffer, "hello");
    EXPECT_EQ(callExport("WriteRegistryKey_zk", key_.c_str(), "empty", ""), 0);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(handle_, "empty", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 1u) << "the empty string is its zero";
    EXPECT_EQ(read("empty", buffer), 0);
    EXPECT_STREQ(buffer, "");

    const std::string fits(255, 'x'), tooLong(256, 'y');
    EXPECT_EQ(callExport("WriteRegistryKey_zk", key_.c_str(), "fits", fits.c_str()), 0);
    EXPECT_EQ(callExport("WriteRegistryKey_zk", key_.c_str(), "long", tooLong.c_str()), 0);
    EXPECT_EQ(read("fits", buffer), 0);
    EXPECT_EQ(buffer, fits);
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(read("long", buffer), 2);
    EXPECT_EQ(buffer[255], '\0') << "zero-terminated within the 256 bytes";
    EXPECT_EQ(buffer[256], '#') << "never past them";

    // 256 bytes stored without a terminating zero.
    store("unterminated", REG_SZ, std::string(256, 'z').data(), 256);
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(read("unterminated", buffer), 2);
    EXPECT_NE(std::memchr(buffer, '\0', 256), nullptr);

    char* reference = buffer;
    EXPECT_EQ(callExport("ReadRegistryKeyS_zk", key_.c_str(), "greeting", &reference), 0);
    EXPECT_STREQ(buffer, "hello");
}

// Every S form under one rule: a null reference does nothing and gives the plain form's
// failure; a reference to a null pointer gives what the plain form gives a null pointer. The
// sizes passed beside the reference show whether anything was done.
TEST_F(Registry, EverySFormWithANullReferenceAndAReferenceToNull) {
    store("greeting", REG_SZ, "hello", 6);
    struct SForm {
        const char* name;
        std::int64_t failure;
        std::function<std::int64_t(char**, std::int32_t*)> call;
        std::function<std::int64_t(char*, std::int32_t*)> plain;
    };
    const std::string key = key_;
    const std::string existing = moduleFileName(nullptr);
    const auto asUnsigned = [](std::int32_t* size) { return reinterpret_cast<std::uint32_t*>(size); };
    const std::vector<SForm> forms = {
        {"GetDLLPathS", 0, [](char** r, std::int32_t*) { callExport<void>("GetDLLPathS", r); return std::int64_t{0}; },
         [](char* p, std::int32_t*) { callExport<void>("GetDLLPath", p); return std::int64_t{0}; }},
        {"GetExeFilenameS_zk", 0,
         [](char** r, std::int32_t* n) { callExport<void>("GetExeFilenameS_zk", r, n); return std::int64_t{0}; },
         [](char* p, std::int32_t* n) { callExport<void>("GetExeFilename_zk", p, n); return std::int64_t{0}; }},
        {"GetExePathS_zk", 0,
         [](char** r, std::int32_t* n) { callExport<void>("GetExePathS_zk", r, n); return std::int64_t{0}; },
         [](char* p, std::int32_t* n) { callExport<void>("GetExePath_zk", p, n); return std::int64_t{0}; }},
        {"FileExistsS_zk", 0, [&](char** r, std::int32_t*) { return std::int64_t{callExport("FileExistsS_zk", existing.c_str(), r)}; },
         [&](char* p, std::int32_t*) { return std::int64_t{callExport("FileExists_zk", existing.c_str(), p)}; }},
        {"GetComputerNameS_zk", 0,
         [&](char** r, std::int32_t* n) { return std::int64_t{callExport("GetComputerNameS_zk", r, asUnsigned(n))}; },
         [&](char* p, std::int32_t* n) { return std::int64_t{callExport("GetComputerName_zk", p, asUnsigned(n))}; }},
        {"GetWindowsDirectoryS_zk", 0,
         [](char** r, std::int32_t*) { return std::int64_t{callExport("GetWindowsDirectoryS_zk", r, std::uint32_t{260})}; },
         [](char* p, std::int32_t*) { return std::int64_t{callExport("GetWindowsDirectory_zk", p, std::uint32_t{260})}; }},
        {"GetSystemDirectoryS_zk", 0,
         [](char** r, std::int32_t*) { return std::int64_t{callExport("GetSystemDirectoryS_zk", r, std::uint32_t{260})}; },
         [](char* p, std::int32_t*) { return std::int64_t{callExport("GetSystemDirectory_zk", p, std::uint32_t{260})}; }},
        {"GetBiosInfoS_zk", 0, [](char** r, std::int32_t*) { return std::int64_t{callExport<std::uint8_t>("GetBiosInfoS_zk", r)}; },
         [](char* p, std::int32_t*) { return std::int64_t{callExport<std::uint8_t>("GetBiosInfo_zk", p)}; }},
        {"ReadRegistryKeyS_zk", 2,
         [&](char** r, std::int32_t*) { return std::int64_t{callExport("ReadRegistryKeyS_zk", key.c_str(), "greeting", r)}; },
         [&](char* p, std::int32_t*) { return std::int64_t{callExport("ReadRegistryKey_zk", key.c_str(), "greeting", p)}; }},
    };
    for (const SForm& form : forms) {
        std::int32_t size = 200;
        EXPECT_EQ(form.call(nullptr, &size), form.failure) << form.name;
        EXPECT_EQ(size, 200) << form.name << ": a null reference does nothing";
        char* nullPointer = nullptr;
        std::int32_t sizeThroughReference = 200, sizeOfPlain = 200;
        EXPECT_EQ(form.call(&nullPointer, &sizeThroughReference), form.plain(nullptr, &sizeOfPlain)) << form.name;
        EXPECT_EQ(sizeThroughReference, sizeOfPlain) << form.name;
        EXPECT_EQ(nullPointer, nullptr) << form.name;
    }
    // What a null pointer gets from the plain forms that write text.
    EXPECT_EQ(callExport("ReadRegistryKey_zk", key.c_str(), "greeting", nullptr), 2);
    char windows[MAX_PATH];
    const auto room = callExport("GetWindowsDirectory_zk", windows, std::uint32_t{sizeof windows}) + 1;
    EXPECT_EQ(callExport("GetWindowsDirectory_zk", nullptr, std::uint32_t{260}), room) << "the room needed, as for size 0";
    std::uint32_t nameSize = 64;
    EXPECT_EQ(callExport("GetComputerName_zk", nullptr, &nameSize), 0);
    EXPECT_EQ(callExport("GetComputerName_zk", windows, nullptr), 0);
}

#if defined(_WIN64)
// What the 64-bit DLL writes lands where 32-bit hosts read, and a value of the 64-bit view
// under the same path stays out of its sight.
TEST_F(Registry, SixtyFourBitDllUsesThe32BitView) {
    HKEY native = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, key_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY,
                              nullptr, &native, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(native, "only64", 0, REG_SZ, reinterpret_cast<const BYTE*>("64"), 3), ERROR_SUCCESS);
    EXPECT_EQ(callExport("WriteRegistryKey_zk", key_.c_str(), "written", "by the DLL"), 0);
    char buffer[256] = {};
    DWORD size = sizeof buffer;
    EXPECT_EQ(RegQueryValueExA(handle_, "written", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size),
              ERROR_SUCCESS);
    EXPECT_STREQ(buffer, "by the DLL");
    size = sizeof buffer;
    EXPECT_NE(RegQueryValueExA(native, "written", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(read("only64", buffer), 2);
    RegCloseKey(native);
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, key_.c_str(), KEY_WOW64_64KEY, 0);
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\TessalyTests", KEY_WOW64_64KEY, 0);
}
#endif

TEST_F(Registry, OtherTypesAndMissingThings) {
    char buffer[300];
    const DWORD number = 0x04030201;
    store("number", REG_DWORD, &number, sizeof number);
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(read("number", buffer), 2);
    EXPECT_EQ(std::memcmp(buffer, "\x01\x02\x03\x04", 4), 0) << "its 4 bytes stay";
    const char expand[] = "%SystemRoot%\\x";
    store("expand", REG_EXPAND_SZ, expand, sizeof expand);
    EXPECT_EQ(read("expand", buffer), 2);
    EXPECT_EQ(read("no-such-value", buffer), 2);
    const std::string missing = key_ + "\\missing";
    EXPECT_EQ(callExport("ReadRegistryKey_zk", missing.c_str(), "x", buffer), 1);
    EXPECT_EQ(callExport("WriteRegistryKey_zk", missing.c_str(), "x", "y"), 1);
    HKEY created = nullptr;
    EXPECT_NE(RegOpenKeyExA(HKEY_LOCAL_MACHINE, missing.c_str(), 0, KEY_READ | KEY_WOW64_32KEY, &created),
              ERROR_SUCCESS)
        << "not created";
}

// ---- processes ----

std::string markerPath(const char* name) {
    return directoryOf(moduleFileName(nullptr)) + name;
}

bool waitForFile(const std::string& path) {
    for (int i = 0; i < 200; ++i, Sleep(50))
        if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
    return false;
}

TEST(Processes, WinExecAndShellExecuteStartAProgram) {
    const std::string folder = directoryOf(moduleFileName(nullptr));
    const std::string first = markerPath("marker-winexec.txt"), second = markerPath("marker-shellexecute.txt");
    DeleteFileA(first.c_str());
    DeleteFileA(second.c_str());
    const std::string command = "\"" + folder + "marker_writer.exe\" \"" + first + "\"";
    EXPECT_GT(callExport<std::uint32_t>("WinExec_zk", command.c_str(), SW_HIDE), 31u);
    EXPECT_TRUE(waitForFile(first));
    const std::string parameters = "\"" + second + "\"";
    EXPECT_GT(callExport<std::uintptr_t>("ShellExecute_zk", std::uintptr_t{0}, "open", "marker_writer.exe", parameters.c_str(),
                                        folder.c_str(), SW_HIDE),
              32u);
    EXPECT_TRUE(waitForFile(second));
    EXPECT_LE(callExport<std::uint32_t>("WinExec_zk", "no-such-program-anywhere.exe", SW_HIDE), 31u);
}

// ---- message boxes, on a real window ----

struct Presser {
    std::string caption;
    WPARAM button;
    HWND found = nullptr;
    std::uintptr_t foundByExport = 0;
    std::atomic<bool> callReturned{false};

    // Finds the box by its caption, asks FindWindow_zk for it too, and presses the button. The
    // search has no deadline of its own: a box stays up until it is pressed, however slowly
    // it came, so the search ends when the box is found or when the call returned without one.
    static DWORD WINAPI run(void* self) {
        auto* presser = static_cast<Presser*>(self);
        while ((presser->found = FindWindowA(nullptr, presser->caption.c_str())) == nullptr)
            if (presser->callReturned) return 1;
            else Sleep(20);
        using FindWindowFunction = decltype(&FindWindow_zk);
        const auto findWindow = reinterpret_cast<FindWindowFunction>(
            reinterpret_cast<void*>(GetProcAddress(dll(), "FindWindow_zk")));
        presser->foundByExport = findWindow(nullptr, presser->caption.c_str());
        PostMessageA(presser->found, WM_COMMAND, presser->button, 0);
        return 0;
    }

    // Runs the box on this thread while the presser looks for it on its own.
    template <typename Call>
    std::int32_t press(Call&& call) {
        const HANDLE thread = CreateThread(nullptr, 0, &Presser::run, this, 0, nullptr);
        const std::int32_t result = call();
        callReturned = true;
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
        return result;
    }
};

bool haveDisplay() { return GetEnvironmentVariableA("DISPLAY", nullptr, 0) > 0; }

// -1 at once here means the program's windows live on a desktop without a display: a Wine
// server already running for the prefix, started without one, is reused (the suite's command
// ends the prefix's server before it starts).
TEST(MessageBoxes, ReturnTheButtonPressed) {
    if (!haveDisplay()) GTEST_SKIP() << "no display: ctest runs this suite under xvfb-run";
    Presser no{"Tessaly test: MessageBox_zk", IDNO};
    EXPECT_EQ(no.press([&] { return callExport("MessageBox_zk", std::uintptr_t{0}, "Press No", no.caption.c_str(), MB_YESNO); }),
              IDNO);
    ASSERT_NE(no.found, nullptr);
    EXPECT_EQ(no.foundByExport, reinterpret_cast<std::uintptr_t>(no.found));

    Presser retry{"Tessaly test: MessageBoxN_zk", IDRETRY};
    EXPECT_EQ(retry.press([&] { return callExport("MessageBoxN_zk", "Press Retry", retry.caption.c_str(), MB_RETRYCANCEL); }),
              IDRETRY);
    EXPECT_NE(retry.found, nullptr);
    EXPECT_EQ(callExport<std::uintptr_t>("FindWindow_zk", nullptr, "no window has this title"), 0u);
}

}  // namespace
}  // namespace tessaly::host
