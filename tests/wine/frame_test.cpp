// The library's own exports: version, path (plain, by reference, renamed, at a drive root),
// the Java natives, the version resource and the export table.
#include <jni.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "dll_under_test.h"
#include "export_names.h"

namespace tessaly::host {
namespace {

std::string dllPathFrom(HMODULE module) {
    char path[256];
    std::memset(path, 0xCC, sizeof path);
    checkedCall<void>(exportAddress(module, "GetDLLPath"), "GetDLLPath", path);
    return std::string(path, strnlen(path, sizeof path));
}

// A copy of the DLL under another folder and name, loaded by its full path.
HMODULE loadCopy(const std::wstring& target) {
    const std::string sourceName = moduleFileName(dll());
    const std::wstring source(sourceName.begin(), sourceName.end());
    EXPECT_TRUE(CopyFileW(source.c_str(), target.c_str(), FALSE)) << GetLastError();
    HMODULE module = LoadLibraryW(target.c_str());
    EXPECT_NE(module, nullptr) << GetLastError();
    return module;
}

std::wstring widen(const std::string& ansi) {
    std::wstring wide(ansi.size(), L'\0');
    wide.resize(MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()),
                                    wide.data(), static_cast<int>(wide.size())));
    return wide;
}

TEST(GetDLLVersion, Is602OnEveryCall) {
    for (int call = 0; call < 3; ++call) EXPECT_EQ(callExport("GetDLLVersion"), 602);
}

TEST(GetDLLPath, IsTheFolderOfItsOwnFile) {
    const std::string path = dllPathFrom(dll());
    EXPECT_EQ(path, directoryOf(moduleFileName(dll())));
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(path.back(), '\\');
}

TEST(GetDLLPath, WritesOnlyThePathAndItsZero) {
    char buffer[512];
    std::memset(buffer, 0xCC, sizeof buffer);
    callExport<void>("GetDLLPath", buffer);
    const std::size_t length = strnlen(buffer, 256);
    ASSERT_LT(length, 256u);
    EXPECT_TRUE(std::all_of(buffer + length + 1, buffer + sizeof buffer,
                            [](char c) { return c == static_cast<char>(0xCC); }));
}

TEST(GetDLLPath, NullPathDoesNothing) { callExport<void>("GetDLLPath", nullptr); }

TEST(GetDLLPath, SFormWritesThroughTheReference) {
    char buffer[256] = {};
    char* reference = buffer;
    callExport<void>("GetDLLPathS", &reference);
    EXPECT_EQ(reference, buffer);
    EXPECT_EQ(std::string(buffer), dllPathFrom(dll()));
}

TEST(GetDLLPath, RenamedCopyReportsItsOwnFolder) {
    const std::string folder = makeTemporaryFolder("renamed");
    HMODULE copy = loadCopy(widen(folder + "Another Name.dll"));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(dllPathFrom(copy), folder);
    FreeLibrary(copy);
}

// The test setup maps drive T: to an empty folder of the build tree.
TEST(GetDLLPath, AtADriveRootEndsInTheRootBackslash) {
    if (GetDriveTypeA("T:\\") == DRIVE_NO_ROOT_DIR)
        GTEST_SKIP() << "drive T: is not mapped; ctest maps it before this suite runs";
    HMODULE copy = loadCopy(L"T:\\TessalyEn_M.dll");
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(dllPathFrom(copy), "T:\\");
    FreeLibrary(copy);
}

// ---- Java natives, against a JNI environment that records what the library asks of it ----

struct FakeJvm {
    JNINativeInterface_ functions{};
    JNIEnv environment{};
    bool holderHasContent = true;
    std::vector<std::string> calls;
    std::string fieldName, fieldSignature;
    std::u16string newString;
    jobject storedIn = nullptr;
    jobject storedValue = nullptr;

    // Distinct handles for what the fake hands out.
    static inline char classToken, fieldToken, stringToken, holderToken;

    static inline FakeJvm* current = nullptr;

    FakeJvm() {
        current = this;
        environment.functions = &functions;
        functions.GetObjectClass = &getObjectClass;
        functions.GetFieldID = &getFieldID;
        functions.NewString = &newStringFromChars;
        functions.NewStringUTF = &newStringUTF;
        functions.SetObjectField = &setObjectField;
    }

    static jclass JNICALL getObjectClass(JNIEnv*, jobject object) {
        current->calls.push_back(object == holder() ? "GetObjectClass(holder)" : "GetObjectClass(?)");
        return reinterpret_cast<jclass>(&classToken);
    }
    static jfieldID JNICALL getFieldID(JNIEnv*, jclass, const char* name, const char* signature) {
        current->calls.push_back("GetFieldID");
        current->fieldName = name;
        current->fieldSignature = signature;
        return current->holderHasContent ? reinterpret_cast<jfieldID>(&fieldToken) : nullptr;
    }
    static jstring JNICALL newStringFromChars(JNIEnv*, const jchar* chars, jsize length) {
        current->calls.push_back("NewString");
        current->newString.assign(reinterpret_cast<const char16_t*>(chars), length);
        return reinterpret_cast<jstring>(&stringToken);
    }
    static jstring JNICALL newStringUTF(JNIEnv*, const char*) {
        current->calls.push_back("NewStringUTF");
        return reinterpret_cast<jstring>(&stringToken);
    }
    static void JNICALL setObjectField(JNIEnv*, jobject object, jfieldID field, jobject value) {
        current->calls.push_back(field == reinterpret_cast<jfieldID>(&fieldToken)
                                     ? "SetObjectField(content)"
                                     : "SetObjectField(?)");
        current->storedIn = object;
        current->storedValue = value;
    }
    ~FakeJvm() { current = nullptr; }

    static jobject holder() { return reinterpret_cast<jobject>(&holderToken); }
};

std::u16string utf16(const std::wstring& wide) { return {wide.begin(), wide.end()}; }

TEST(JavaNatives, VersionIsGetDLLVersion) {
    FakeJvm jvm;
    EXPECT_EQ(callExport("_Java_Tessaly_GetDLLVersion@8", &jvm.environment, nullptr), 602);
    EXPECT_TRUE(jvm.calls.empty());
}

TEST(JavaNatives, PathGoesIntoTheContentField) {
    FakeJvm jvm;
    callExport<void>("_Java_Tessaly_GetDLLPath@12", &jvm.environment, nullptr, FakeJvm::holder());
    EXPECT_EQ(jvm.calls, (std::vector<std::string>{"GetObjectClass(holder)", "GetFieldID",
                                                   "NewString", "SetObjectField(content)"}));
    EXPECT_EQ(jvm.fieldName, "content");
    EXPECT_EQ(jvm.fieldSignature, "Ljava/lang/String;");
    EXPECT_EQ(jvm.newString, utf16(widen(dllPathFrom(dll()))));
    EXPECT_EQ(jvm.storedIn, FakeJvm::holder());
    EXPECT_EQ(jvm.storedValue, reinterpret_cast<jobject>(&FakeJvm::stringToken));
}

TEST(JavaNatives, HolderWithoutContentFieldIsLeftAlone) {
    FakeJvm jvm;
    jvm.holderHasContent = false;
    callExport<void>("_Java_Tessaly_GetDLLPath@12", &jvm.environment, nullptr, FakeJvm::holder());
    EXPECT_EQ(jvm.calls, (std::vector<std::string>{"GetObjectClass(holder)", "GetFieldID"}));
}

TEST(JavaNatives, NonAsciiFolderArrivesIntact) {
    const std::wstring folder = widen(makeTemporaryFolder("java")) + L"Z\u00fcrich caf\u00e9\\";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr)) << GetLastError();
    HMODULE copy = loadCopy(folder + L"TessalyEn_M.dll");
    ASSERT_NE(copy, nullptr);
    FakeJvm jvm;
    checkedCall<void>(exportAddress(copy, "_Java_Tessaly_GetDLLPath@12"), "Java GetDLLPath",
                      &jvm.environment, nullptr, FakeJvm::holder());
    EXPECT_EQ(jvm.newString, utf16(folder));
    EXPECT_EQ(std::count(jvm.calls.begin(), jvm.calls.end(), "NewStringUTF"), 0);
    FreeLibrary(copy);
}

// ---- What the file itself declares ----

std::string versionString(const std::vector<char>& info, const char* name) {
    char* value = nullptr;
    UINT length = 0;
    const std::string key = std::string("\\StringFileInfo\\040904b0\\") + name;
    if (!VerQueryValueA(info.data(), key.c_str(), reinterpret_cast<void**>(&value), &length))
        return "<missing>";
    return std::string(value, strnlen(value, length));
}

TEST(VersionResource, Is6_0_0_1WithTheLibrarysStrings) {
    const std::string file = moduleFileName(dll());
    DWORD handle = 0;
    std::vector<char> info(GetFileVersionInfoSizeA(file.c_str(), &handle));
    ASSERT_FALSE(info.empty());
    ASSERT_TRUE(GetFileVersionInfoA(file.c_str(), 0, static_cast<DWORD>(info.size()), info.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00060000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00000001u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00060000u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x00000001u);
    EXPECT_EQ(versionString(info, "FileVersion"), "6, 0, 0, 1");
    EXPECT_EQ(versionString(info, "ProductVersion"), "6, 0, 0, 1");
    EXPECT_EQ(versionString(info, "FileDescription"), "Tessaly DLL");
    EXPECT_EQ(versionString(info, "InternalName"), "Tessaly");
    EXPECT_EQ(versionString(info, "OriginalFilename"), "Tessaly.DLL");
    EXPECT_EQ(versionString(info, "ProductName"), "Tessaly Dynamic Link Library");
}

// Every name the DLL must export, exactly as hosts spell them: the export table's list for
// this target.
const std::set<std::string> expectedExports(std::begin(tessaly::exportedNames), std::end(tessaly::exportedNames));

std::set<std::string> exportTable(HMODULE module) {
    const auto* base = reinterpret_cast<const std::uint8_t*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& entry =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    const auto* directory = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + entry.VirtualAddress);
    const auto* nameRvas = reinterpret_cast<const DWORD*>(base + directory->AddressOfNames);
    std::set<std::string> names;
    for (DWORD i = 0; i < directory->NumberOfNames; ++i)
        names.insert(reinterpret_cast<const char*>(base + nameRvas[i]));
    return names;
}

TEST(ExportTable, HoldsExactlyTheNamesHostsUse) {
    ASSERT_NE(dll(), nullptr);
    const std::set<std::string> actual = exportTable(dll());
    for (const auto& name : expectedExports) EXPECT_TRUE(actual.count(name)) << "missing: " << name;
    for (const auto& name : actual) EXPECT_TRUE(expectedExports.count(name)) << "unexpected: " << name;
    for (const auto& name : expectedExports) exportAddress(dll(), name.c_str());
}

#if defined(_WIN64)
// A 64-bit JVM looks the natives up undecorated; they are the decorated ones.
TEST(ExportTable, UndecoratedJavaNamesAreTheDecoratedOnes) {
    for (const auto& [plain, decorated] : {std::pair{"Java_Tessaly_GetDLLPath", "_Java_Tessaly_GetDLLPath@12"},
                                           std::pair{"Java_Tessaly_GetDLLVersion", "_Java_Tessaly_GetDLLVersion@8"}})
        EXPECT_EQ(exportAddress(dll(), plain), exportAddress(dll(), decorated)) << plain;
}
#endif

}  // namespace
}  // namespace tessaly::host
