// The string helpers against their rules written out naively: lengths, both searches,
// setting a byte (plain and by reference), both comparisons, case conversion in place (plain
// and by reference) and the two digit tests. Every text ends its heap block.
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_input.h"
#include "tessaly.h"

namespace {

using tessaly::fuzzing::ExactBytes;
using tessaly::fuzzing::ExactText;
using tessaly::fuzzing::FuzzInput;
using tessaly::fuzzing::require;

std::int32_t characterCount(std::string_view text) {
    std::int32_t count = 0;
    for (std::size_t i = 0; i < text.size(); ++count) i += static_cast<std::uint8_t>(text[i]) >= 0x81 ? 2 : 1;
    return count;
}

std::int32_t firstAt(std::string_view text, std::string_view sought, std::size_t from) {
    for (std::size_t at = from; at + sought.size() <= text.size(); ++at)
        if (text.substr(at, sought.size()) == sought) return static_cast<std::int32_t>(at);
    return -1;
}

std::int32_t lastAt(std::string_view text, std::string_view sought) {
    if (sought.empty()) return static_cast<std::int32_t>(text.size());  // the library's choice
    std::int32_t last = -1;
    for (std::int32_t at = firstAt(text, sought, 0); at >= 0; at = firstAt(text, sought, static_cast<std::size_t>(at) + 1))
        last = at;
    return last;
}

std::int32_t order(std::span<const std::uint8_t> first, std::span<const std::uint8_t> second) {
    for (std::size_t i = 0; i < first.size() && i < second.size(); ++i)
        if (first[i] != second[i]) return first[i] < second[i] ? -1 : 1;
    return first.size() == second.size() ? 0 : first.size() < second.size() ? -1 : 1;
}

std::span<const std::uint8_t> bytesOf(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

bool onlyOf(std::string_view text, std::string_view allowed) {
    return !text.empty() && text.find_first_not_of(allowed) == std::string_view::npos;
}

std::string withCase(std::string_view text, char from, char to) {
    std::string result(text);
    for (char& c : result)
        if (c >= from && c <= static_cast<char>(from + 25)) c = static_cast<char>(c - from + to);
    return result;
}

void checkCaseConversion(std::string_view text, bool upper) {
    const std::string expected = upper ? withCase(text, 'a', 'A') : withCase(text, 'A', 'a');
    ExactText plain(text), byReference(text);
    char* const given = plain.get();
    require((upper ? toupper_zk(given) : tolower_zk(given)) == given && plain.view() == expected);
    char* reference = byReference.get();
    require((upper ? touppers_zk(&reference) : tolowers_zk(&reference)) == byReference.get() &&
            reference == byReference.get() && byReference.view() == expected);
}

void checkSetCharacter(std::string_view text, std::uint32_t index, std::int32_t character) {
    std::string expected(text);
    if (index < text.size()) expected[index] = static_cast<char>(character);
    ExactText plain(text), byReference(text);
    setstrchar_zk(plain.get(), index, character);
    require(plain.view() == std::string_view(expected.data(), expected.size()));
    char* reference = byReference.get();
    setstrchars_zk(&reference, index, character);
    require(reference == byReference.get() && byReference.view() == std::string_view(expected.data(), expected.size()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const std::uint32_t index = input.byte() < 64 ? input.word() : input.byte();
    const std::int32_t character = input.int32();
    const std::string first = input.text(4096), second = input.text(64);
    const ExactText text(first), sought(second);

    require(strlen_zk(text.get()) == static_cast<std::int32_t>(first.size()));
    require(strlenword_zk(text.get()) == characterCount(first));
    require(instr_zk(text.get(), sought.get()) == firstAt(first, second, 0));
    require(inrstr_zk(text.get(), sought.get()) == lastAt(first, second));
    require(strcmp_zk(text.get(), sought.get()) == order(bytesOf(first), bytesOf(second)));
    require(isnumeric_zk(text.get()) == (onlyOf(first, "0123456789") ? 1 : 0));
    require(isdigital_zk(text.get()) == (onlyOf(first, "0123456789.") ? 1 : 0));
    checkSetCharacter(first, index, character);
    checkCaseConversion(first, true);
    checkCaseConversion(first, false);

    // memcmp_zk over the rest, zero bytes and all, each area exactly count bytes.
    const auto rest = input.rest();
    const std::size_t count = rest.size() / 2;
    const ExactBytes left(rest.first(count)), right(rest.subspan(count, count));
    require(memcmp_zk(left.data(), right.data(), static_cast<std::uint32_t>(count)) == order(left.span(), right.span()));
    return 0;
}
