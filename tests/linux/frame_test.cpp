// libtessaly.so's own exports: its version, its path (plain, by reference, from a copy in a
// folder with another name), and the names it exports and does not.
#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "dll_under_test.h"
#include "export_names.h"

namespace tessaly::host {
namespace {

namespace fs = std::filesystem;

std::string pathFrom(void* library) {
    char path[256];
    std::memset(path, 0xCC, sizeof path);
    checkedCall<void>(exportAddress(library, "GetDLLPath"), "GetDLLPath", path);
    return std::string(path, strnlen(path, sizeof path));
}

TEST(GetDLLVersion, Is602) {
    EXPECT_EQ(callExport("GetDLLVersion"), 602);
}

TEST(GetDLLPath, IsTheFolderOfTheSharedObjectWithASlash) {
    const fs::path file = fs::canonical(TESSALY_LIBRARY_FILE);
    EXPECT_EQ(pathFrom(dll()), file.parent_path().string() + "/");
    callExport<void>("GetDLLPath", nullptr);  // does nothing

    char buffer[256] = {};
    char* reference = buffer;
    callExport<void>("GetDLLPathS", &reference);
    EXPECT_EQ(reference, buffer);
    EXPECT_EQ(std::string(buffer), pathFrom(dll()));
}

TEST(GetDLLPath, CopyUnderAnotherNameReportsItsOwnFolder) {
    char pattern[] = "/tmp/tessaly-linux-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const fs::path folder = fs::path(pattern) / "Z\u00fcrich caf\u00e9";
    fs::create_directories(folder);
    const fs::path copy = folder / "another-name.so";
    fs::copy_file(TESSALY_LIBRARY_FILE, copy);
    void* library = dlopen(copy.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    EXPECT_EQ(pathFrom(library), folder.string() + "/");
    dlclose(library);
    fs::remove_all(pattern);
}

TEST(ExportTable, EveryLinuxNameIsFoundAndNoWindowsHelper) {
    for (const char* name : tessaly::exportedNames) EXPECT_NE(dlsym(dll(), name), nullptr) << name;
    for (const char* name : {"ReadRegistryKey_zk", "GetFileSize_zk", "MessageBox_zk", "_memcmp_zk@12",
                             "_Java_Tessaly_GetDLLPath@12"})
        EXPECT_EQ(dlsym(dll(), name), nullptr) << name << " is Windows only";
}

}  // namespace
}  // namespace tessaly::host
