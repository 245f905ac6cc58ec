// A small Windows host, built 32- and 64-bit: loads TessalyEn_M.dll by name, as any host does, and shows one line
// per family of exports.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

HMODULE library;

// The export's address as the given function type; exits when the DLL lacks it.
template <typename Function>
Function exportNamed(const char* name) {
    auto address = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
    if (address == nullptr) {
        std::printf("the DLL has no export named %s\n", name);
        std::exit(1);
    }
    return address;
}

void showLibrary() {
    auto getVersion = exportNamed<std::int32_t(WINAPI*)()>("GetDLLVersion");
    auto getPath = exportNamed<void(WINAPI*)(char*)>("GetDLLPath");
    char path[256];
    getPath(path);
    std::printf("library   version %d, %d-bit, loaded from %s\n", getVersion(), static_cast<int>(8 * sizeof(void*)), path);
}

void showBase64() {
    auto doBase64 = exportNamed<std::int32_t(WINAPI*)(const void*, std::int32_t, void*,
                                                      std::int32_t, std::int32_t)>("DoBASE64");
    const char text[] = "Tessaly, byte for byte";
    char encoded[64] = {};
    char decoded[64] = {};
    const std::int32_t encodedLength =
        doBase64(text, static_cast<std::int32_t>(std::strlen(text)), encoded, sizeof encoded, 0);
    const std::int32_t decodedLength = doBase64(encoded, encodedLength, decoded, sizeof decoded, 1);
    std::printf("Base64    \"%s\" -> %.*s -> \"%.*s\"\n", text, static_cast<int>(encodedLength),
                encoded, static_cast<int>(decodedLength), decoded);
}

void printHex(const unsigned char* bytes, int count) {
    for (int i = 0; i < count; ++i) std::printf("%02x", bytes[i]);
}

void showDigests() {
    auto sha256 = exportNamed<void(WINAPI*)(const void*, std::uint32_t, void*)>("SHA_256");
    auto md5Ex = exportNamed<void(WINAPI*)(const void*, std::uint32_t, const void*, std::int32_t,
                                           void*)>("MD5_Ex");
    const char text[] = "The quick brown fox jumps over the lazy dog";
    const auto length = static_cast<std::uint32_t>(std::strlen(text));
    unsigned char digest[32];
    sha256(text, length, digest);
    std::printf("SHA-256   \"%s\" -> ", text);
    printHex(digest, 32);
    md5Ex(text, length, nullptr, 0, digest);
    std::printf("\nMD5       \"%s\" -> ", text);
    printHex(digest, 16);
    md5Ex(text, length, "key", 3, digest);
    std::printf("\nHMAC-MD5  same text, key \"key\" -> ");
    printHex(digest, 16);
    std::printf("\n");
}

// The road of one call: a record enciphered with a 16-byte key in mode 0, stored with its
// length rounded up to 16, and deciphered later with mode 1 and that rounded length.
void showAes() {
    auto doAes = exportNamed<void(WINAPI*)(void*, std::int32_t, const void*, std::int32_t,
                                           std::int32_t)>("DoAES");
    const char record[] = "customer 1042, balance 310.25";
    const unsigned char key[16] = {'a', ' ', '1', '6', '-', 'b', 'y', 't', 'e', ' ', 'k', 'e', 'y', '!', '!', '!'};
    const auto length = static_cast<std::int32_t>(std::strlen(record));
    const std::int32_t stored = (length + 15) / 16 * 16;
    unsigned char buffer[64] = {};
    std::memcpy(buffer, record, length);
    doAes(buffer, length, key, 16, 0);
    std::printf("AES-128   %d-byte record -> %d bytes stored: ", static_cast<int>(length), static_cast<int>(stored));
    printHex(buffer, stored);
    doAes(buffer, stored, key, 16, 1);
    std::printf("\n          deciphered with mode 1 and length %d -> \"%s\"\n", static_cast<int>(stored),
                reinterpret_cast<const char*>(buffer));
}

void showOtherCiphers() {
    auto doDes = exportNamed<void(WINAPI*)(void*, std::int32_t, const void*, std::int32_t)>("DoDES");
    auto do3Des = exportNamed<void(WINAPI*)(void*, std::int32_t, const void*, std::int32_t)>("Do3DES");
    auto doBlowfish = exportNamed<void(WINAPI*)(void*, std::int32_t, const void*, std::int32_t,
                                                std::int32_t)>("DoBlowfish");
    const unsigned char zeroKey[16] = {};
    unsigned char des[8] = {}, des3[8] = {}, blowfish[8] = {};
    doDes(des, 8, zeroKey, 0);
    do3Des(des3, 8, zeroKey, 0);
    doBlowfish(blowfish, 8, nullptr, 0, 0);
    std::printf("Ciphers   8 zero bytes, zero key: DES ");
    printHex(des, 8);
    std::printf(", triple DES ");
    printHex(des3, 8);
    std::printf(", Blowfish unkeyed ");
    printHex(blowfish, 8);
    std::printf("\n");
}

void showHelpers() {
    auto exclusiveOr = exportNamed<void(WINAPI*)(void*, std::int32_t, std::int32_t, std::int32_t)>("Exclusive_OR");
    auto substitution = exportNamed<void(WINAPI*)(void*, std::int32_t, std::int32_t)>("Substitution");
    auto divide = exportNamed<std::int32_t(WINAPI*)(std::int32_t, std::int32_t)>("div_zk");
    auto unsignedShift = exportNamed<std::int32_t(WINAPI*)(std::int32_t, std::int32_t)>("urightshift_zk");
    auto atof = exportNamed<double(WINAPI*)(const char*)>("atof_zk");
    auto inrstr = exportNamed<std::int32_t(WINAPI*)(const char*, const char*)>("inrstr_zk");
    auto toupper = exportNamed<char*(WINAPI*)(char*)>("toupper_zk");
    auto match = exportNamed<std::int32_t(WINAPI*)(const char*, const char*)>("MatchPattern_zk");

    char text[] = "Hello, host";
    substitution(text, static_cast<std::int32_t>(std::strlen(text)), 0);
    std::printf("Scramble  Substitution of \"Hello, host\" -> \"%s\"", text);
    substitution(text, static_cast<std::int32_t>(std::strlen(text)), 1);
    unsigned char chain[] = {1, 2, 3};
    exclusiveOr(chain, 3, 0, 1);
    std::printf(", back \"%s\"; Exclusive_OR chaining 1 2 3 -> %d %d %d\n", text, chain[0], chain[1], chain[2]);
    std::printf("Numbers   div_zk(-7, 2) = %d, div_zk(5, 0) = %d, urightshift_zk(-8, 1) = %d, atof_zk(\"1.5D2\") = %g\n",
                static_cast<int>(divide(-7, 2)), static_cast<int>(divide(5, 0)),
                static_cast<int>(unsignedShift(-8, 1)), atof("1.5D2"));
    char upper[] = "Abc-xyz1";
    std::printf("Strings   inrstr_zk(\"abcabc\", \"bc\") = %d, toupper_zk(\"Abc-xyz1\") -> \"%s\"\n",
                static_cast<int>(inrstr("abcabc", "bc")), toupper(upper));
    std::printf("Pattern   \"readme.TXT\" ~ \"*.txt\": %d, \"q\" ~ \"[A-Z]\": %d, \"q\" ~ \"[a-z]\": %d\n",
                static_cast<int>(match("readme.TXT", "*.txt")), static_cast<int>(match("q", "[A-Z]")),
                static_cast<int>(match("q", "[a-z]")));
}

void showRsa() {
    auto doRsa = exportNamed<std::int32_t(WINAPI*)(const void*, std::int32_t, void*, std::int32_t*,
                                                  const char*, const char*, std::int32_t)>("DoRSA");
    const unsigned char letterA[4] = {0, 0, 0, 0x41};
    char line[64] = {};
    std::int32_t lineLength = 0;
    const std::int32_t enciphered = doRsa(letterA, 4, line, &lineLength, "17", "3233", 0);
    unsigned char back[8] = {};
    std::int32_t backLength = 0;
    const std::int32_t deciphered = doRsa(line, lineLength, back, &backLength, "2753", "3233", 1);
    std::printf("RSA       00 00 00 41 with 17/3233 -> \"%s\" (code %d); with 2753/3233 -> %02x %02x %02x %02x (code %d)\n",
                line, static_cast<int>(enciphered), back[0], back[1], back[2], back[3], static_cast<int>(deciphered));
}

void showFiles() {
    auto exeName = exportNamed<void(WINAPI*)(char*, std::int32_t*)>("GetExeFilename_zk");
    auto exePath = exportNamed<void(WINAPI*)(char*, std::int32_t*)>("GetExePath_zk");
    auto readFile = exportNamed<std::int32_t(WINAPI*)(const char*, char*, std::int32_t*)>("ReadFileString_zk");
    auto fileSize = exportNamed<std::uint32_t(WINAPI*)(const char*)>("GetFileSize_zk");
    char name[300], folder[300];
    std::int32_t nameSize = 299, folderSize = 299;
    exeName(name, &nameSize);
    exePath(folder, &folderSize);
    std::printf("Files     this host is %s in %s\n", name, folder);

    const char note[] = "line one\r\nline two\r\n";
    if (std::FILE* file = std::fopen("demo-note.txt", "wb")) {
        std::fwrite(note, 1, sizeof note - 1, file);
        std::fclose(file);
    }
    char text[64];
    std::int32_t size = 63;
    const std::int32_t status = readFile("demo-note.txt", text, &size);
    for (char* c = text; *c; ++c)
        if (*c == '\n') *c = '|';
    std::printf("          demo-note.txt: %u bytes on disk, read in text mode (code %d): %d bytes \"%s\"\n",
                fileSize("demo-note.txt"), static_cast<int>(status), static_cast<int>(size), text);
    std::remove("demo-note.txt");
}

void showSystem() {
    auto computerName = exportNamed<std::int32_t(WINAPI*)(char*, std::uint32_t*)>("GetComputerName_zk");
    auto windowsDirectory = exportNamed<std::int32_t(WINAPI*)(char*, std::uint32_t)>("GetWindowsDirectory_zk");
    auto freeSpace = exportNamed<std::uint32_t(WINAPI*)(const char*)>("GetDiskFreeSpace_zk");
    char name[64] = {}, directory[300] = {};
    std::uint32_t nameSize = sizeof name;
    computerName(name, &nameSize);
    windowsDirectory(directory, sizeof directory);
    const std::uint32_t free = freeSpace("C:\\");
    std::printf("System    computer %s, Windows in %s, drive C: has %u bytes free%s\n", name, directory, free,
                free == 0xFFFFFFFFu ? " (4 GiB or more)" : "");
}

}  // namespace

int main() {
    library = LoadLibraryA("TessalyEn_M.dll");
    if (library == nullptr) {
        std::printf("cannot load TessalyEn_M.dll (error %lu)\n", GetLastError());
        return 1;
    }
    showLibrary();
    showBase64();
    showDigests();
    showAes();
    showOtherCiphers();
    showRsa();
    showHelpers();
    showFiles();
    showSystem();
    FreeLibrary(library);
    return 0;
}
