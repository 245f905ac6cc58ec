// Every buffer and text of these calls ends where a committed page ends, and a page with no
// access follows: a read or write one byte past what the contract allows faults in the test.
#include <cstring>
#include <string>
#include <vector>

#include "common/fixed_input.h"
#include "dll_under_test.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace tessaly::host {
namespace {

// count bytes (a copy of what is given) that end right before a no-access page.
class GuardedBytes {
public:
    explicit GuardedBytes(const void* content, std::size_t count) : count_(count) {
#if defined(_WIN32)
        SYSTEM_INFO system;
        GetSystemInfo(&system);
        page_ = system.dwPageSize;
#else
        page_ = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
#endif
        mapped_ = (count + page_ - 1) / page_ * page_ + page_;
#if defined(_WIN32)
        base_ = static_cast<std::uint8_t*>(VirtualAlloc(nullptr, mapped_, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        DWORD old;
        VirtualProtect(base_ + mapped_ - page_, page_, PAGE_NOACCESS, &old);
#else
        base_ = static_cast<std::uint8_t*>(mmap(nullptr, mapped_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
        mprotect(base_ + mapped_ - page_, page_, PROT_NONE);
#endif
        if (content != nullptr && count != 0) std::memcpy(data(), content, count);
    }
    explicit GuardedBytes(const std::string& text) : GuardedBytes(text.c_str(), text.size() + 1) {}  // with its zero
    GuardedBytes(const GuardedBytes&) = delete;
    GuardedBytes& operator=(const GuardedBytes&) = delete;
    ~GuardedBytes() {
#if defined(_WIN32)
        VirtualFree(base_, 0, MEM_RELEASE);
#else
        munmap(base_, mapped_);
#endif
    }
    std::uint8_t* data() { return base_ + mapped_ - page_ - count_; }
    const char* text() { return reinterpret_cast<const char*>(data()); }
    std::vector<std::uint8_t> bytes() { return {data(), data() + count_}; }

private:
    std::size_t count_, page_ = 0, mapped_ = 0;
    std::uint8_t* base_ = nullptr;
};

std::vector<std::uint8_t> sequence(std::size_t count, unsigned seed) { return testing::input(count, seed); }

TEST(GuardPages, CiphersTouchOnlyTheRoundedBufferAndTheKey) {
    for (const std::size_t length : {1, 8, 15, 16, 17, 100, 4096}) {
        for (const std::int32_t mode : {0, 1}) {
            const auto key = sequence(32, 3);
            GuardedBytes aesKey16(key.data(), 16), aesKey32(key.data(), 32), desKey(key.data(), 8), tripleKey(key.data(), 16);
            auto plain = sequence(length, 7);
            plain.resize((length + 15) / 16 * 16);
            GuardedBytes aes(plain.data(), plain.size());
            callExport<void>("DoAES", aes.data(), static_cast<std::int32_t>(length), aesKey16.data(), 16, mode);
            callExport<void>("DoAES", aes.data(), static_cast<std::int32_t>(length), aesKey32.data(), 32, mode);
            GuardedBytes blocks(plain.data(), (length + 7) / 8 * 8);
            callExport<void>("DoDES", blocks.data(), static_cast<std::int32_t>(length), desKey.data(), mode);
            callExport<void>("Do3DES", blocks.data(), static_cast<std::int32_t>(length), tripleKey.data(), mode);
            // A short key ending in its zero, passed with the largest keyLength: nothing past the zero is read.
            GuardedBytes shortKey(std::string("abcde"));
            callExport<void>("DoBlowfish", blocks.data(), static_cast<std::int32_t>(length), shortKey.data(), 56, mode);
            GuardedBytes fullKey(key.data(), 13);
            callExport<void>("DoBlowfish", blocks.data(), static_cast<std::int32_t>(length), fullKey.data(), 13, mode);
        }
    }
}

TEST(GuardPages, DigestsAndScramblersTouchOnlyTheirBytes) {
    for (const std::size_t length : {0, 1, 55, 56, 64, 1000}) {
        const auto data = sequence(length, 11);
        GuardedBytes input(data.data(), length), key(data.data(), length < 20 ? length : 20);
        GuardedBytes sha(nullptr, 32), md5(nullptr, 16);
        callExport<void>("SHA_256", input.data(), static_cast<std::uint32_t>(length), sha.data());
        callExport<void>("MD5_Ex", input.data(), static_cast<std::uint32_t>(length), key.data(),
                         static_cast<std::int32_t>(length < 20 ? length : 20), md5.data());
        GuardedBytes scrambled(data.data(), length);
        const auto n = static_cast<std::int32_t>(length);
        callExport<void>("Exclusive_OR", scrambled.data(), n, 77, 0);
        callExport<void>("Shift_Data", scrambled.data(), n, 3, 0);
        callExport<void>("Substitution", scrambled.data(), n, 0);
        callExport<void>("Substitution", scrambled.data(), n, 1);
        callExport<void>("Shift_Data", scrambled.data(), n, 3, 1);
        callExport<void>("Exclusive_OR", scrambled.data(), n, 77, 1);
        EXPECT_EQ(scrambled.bytes(), data) << "each scrambler undone, length " << length;
    }
}

TEST(GuardPages, Base64WritesExactlyItsCount) {
    for (const std::size_t length : {1, 2, 3, 4, 5, 47, 48, 49, 1000}) {
        const auto data = sequence(length, 19);
        GuardedBytes input(data.data(), length), text(nullptr, (length + 2) / 3 * 4);
        const auto written = callExport("DoBASE64", input.data(), static_cast<std::int32_t>(length), text.data(), 0, 0);
        ASSERT_EQ(written, static_cast<std::int32_t>((length + 2) / 3 * 4));
        // Decoding writes its bytes and, after a group of one or two, one spare byte.
        const std::size_t room = length + (length % 3 == 0 ? 0 : 1);
        GuardedBytes decoded(nullptr, room);
        EXPECT_EQ(callExport("DoBASE64", text.data(), written, decoded.data(), 0, 1), static_cast<std::int32_t>(length));
        EXPECT_EQ(std::vector<std::uint8_t>(decoded.data(), decoded.data() + length), data);
    }
}

TEST(GuardPages, RsaAndTheMatcherReadTheirTextsToTheZeroOnly) {
    GuardedBytes exponent(std::string("17")), modulus(std::string("3233")), group("\0\0\0\x41", 4);
    GuardedBytes line(nullptr, 5);  // "2790" and its zero
    std::int32_t length = 0;
    EXPECT_EQ(callExport("DoRSA", group.data(), 4, line.data(), &length, exponent.text(), modulus.text(), 0), 0);
    EXPECT_STREQ(line.text(), "2790");
    GuardedBytes privateExponent(std::string("2753")), back(nullptr, 5);
    EXPECT_EQ(callExport("DoRSA", line.data(), 4, back.data(), &length, privateExponent.text(), modulus.text(), 1), 0);
    EXPECT_EQ(back.bytes(), std::vector<std::uint8_t>({0, 0, 0, 0x41, 0}));
    for (const auto& [subject, pattern] : {std::pair{"", "*"}, std::pair{"abc", "a*"}, std::pair{"abcdefghijklmnop", "*p?"},
                                           std::pair{"wildcards everywhere", "*w*e*"}}) {
        GuardedBytes text{std::string(subject)}, wildcard{std::string(pattern)};
        callExport("MatchPattern_zk", text.text(), wildcard.text());
    }
}

TEST(GuardPages, TextHelpersReadTheirTextsToTheZeroOnly) {
    // A two-byte lead (0x81 or more) last of all, digits and points to the end, a match at the very end.
    const std::vector<std::string> texts = {"", "x", "  -42abc", "1.5d2", "0123", "12.5.", "abc\x81", "\xFE",
                                            "Abc-xyz1", "abcabc", std::string(4095, 'q') + "z"};
    for (const std::string& content : texts) {
        GuardedBytes text(content);
        const std::string last = content.empty() ? "" : content.substr(content.size() - 1);
        GuardedBytes sought(last), longer(content + "!");
        callExport("atoi_zk", text.text());
        callExportDouble("atof_zk", text.text());
        EXPECT_EQ(callExport("strlen_zk", text.text()), static_cast<std::int32_t>(content.size()));
        callExport("strlenword_zk", text.text());
        callExport("instr_zk", text.text(), sought.text());
        callExport("inrstr_zk", text.text(), sought.text());
        callExport("instr_zk", sought.text(), text.text());
        EXPECT_EQ(callExport("strcmp_zk", text.text(), longer.text()), -1);
        EXPECT_EQ(callExport("strcmp_zk", longer.text(), text.text()), 1);
        callExport("isnumeric_zk", text.text());
        callExport("isdigital_zk", text.text());
        GuardedBytes first(content.data(), content.size()), second(content.data(), content.size());
        EXPECT_EQ(callExport(memcmpExportName, first.data(), second.data(), static_cast<std::uint32_t>(content.size())), 0);

        // The ones that write: in place, and by reference.
        GuardedBytes changed(content);
        auto* writable = reinterpret_cast<char*>(changed.data());
        callExport<char*>("toupper_zk", writable);
        callExport<char*>("tolower_zk", writable);
        callExport<char*>("touppers_zk", &writable);
        callExport<char*>("tolowers_zk", &writable);
        callExport<void>("setstrchar_zk", writable, static_cast<std::uint32_t>(content.size()), 'X');
        callExport<void>("setstrchars_zk", &writable, static_cast<std::uint32_t>(content.size()), 'X');
        if (!content.empty()) callExport<void>("setstrchar_zk", writable, static_cast<std::uint32_t>(content.size() - 1), 'X');
    }
}

}  // namespace
}  // namespace tessaly::host
