// Runs one crypto export of the library on the bytes of a file, as a host would, and writes
// what the export made: the reference the tool's output is compared with.
// Usage: export_on_file EXPORT IN OUT [ARGUMENTS...]
//   DoDES|Do3DES|DoAES|DoBlowfish KEYHEX MODE   the file's bytes, zeros past them to the block
//   SHA_256 | MD5_Ex [KEYHEX]                   the digest's bytes
//   DoBASE64 MODE                               the counted bytes
//   DoRSA EXPONENT MODULUS DIRECTION            outputLength bytes; the exit status is the code
//   Exclusive_OR SEED DIRECTION | Shift_Data COUNT DIRECTION | Substitution DIRECTION
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "common/library_under_test.h"

namespace {

std::vector<std::uint8_t> fromHex(const std::string& hex) {
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: export_on_file EXPORT IN OUT [ARGUMENTS...]\n");
        return 100;
    }
    const std::string name = argv[1];
    std::ifstream in(argv[2], std::ios::binary);
    std::vector<std::uint8_t> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto length = static_cast<std::int32_t>(data.size());
    const auto number = [&](int i) { return static_cast<std::int32_t>(std::atol(argv[i])); };
    std::vector<std::uint8_t> out;
    int status = 0;

    if (name == "DoDES" || name == "Do3DES" || name == "DoAES" || name == "DoBlowfish") {
        const auto key = fromHex(argv[4]);
        const std::size_t block = name == "DoAES" ? 16 : 8;
        out = data;
        out.resize((data.size() + block - 1) / block * block, 0);
        if (name == "DoDES") EXPORT(DoDES)(out.data(), length, key.data(), number(5));
        if (name == "Do3DES") EXPORT(Do3DES)(out.data(), length, key.data(), number(5));
        if (name == "DoAES") EXPORT(DoAES)(out.data(), length, key.data(), static_cast<std::int32_t>(key.size()), number(5));
        if (name == "DoBlowfish")
            EXPORT(DoBlowfish)(out.data(), length, key.data(), static_cast<std::int32_t>(key.size()), number(5));
    } else if (name == "SHA_256") {
        out.resize(32);
        EXPORT(SHA_256)(data.data(), static_cast<std::uint32_t>(length), out.data());
    } else if (name == "MD5_Ex") {
        const auto key = argc > 4 ? fromHex(argv[4]) : std::vector<std::uint8_t>();
        out.resize(16);
        EXPORT(MD5_Ex)(data.data(), static_cast<std::uint32_t>(length), key.data(), static_cast<std::int32_t>(key.size()),
                       out.data());
    } else if (name == "DoBASE64") {
        out.resize(data.size() / 3 * 4 + 8);
        out.resize(static_cast<std::size_t>(
            EXPORT(DoBASE64)(data.data(), length, out.data(), static_cast<std::int32_t>(out.size()), number(4))));
    } else if (name == "DoRSA") {
        out.resize(data.size() * 130 + 16);
        std::int32_t written = 0;
        status = EXPORT(DoRSA)(data.data(), length, out.data(), &written, argv[4], argv[5], number(6));
        out.resize(status == 0 ? static_cast<std::size_t>(written) : 0);
    } else if (name == "Exclusive_OR" || name == "Shift_Data" || name == "Substitution") {
        out = data;
        if (name == "Exclusive_OR") EXPORT(Exclusive_OR)(out.data(), length, number(4), number(5));
        if (name == "Shift_Data") EXPORT(Shift_Data)(out.data(), length, number(4), number(5));
        if (name == "Substitution") EXPORT(Substitution)(out.data(), length, number(4));
    } else {
        std::fprintf(stderr, "export_on_file: no such export here: %s\n", name.c_str());
        return 100;
    }
    std::ofstream(argv[3], std::ios::binary).write(reinterpret_cast<const char*>(out.data()),
                                                   static_cast<std::streamsize>(out.size()));
    return status;
}
