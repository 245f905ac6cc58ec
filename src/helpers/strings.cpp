// The string helpers: byte-level length, search, update, comparison, case and digit tests
// on ANSI texts. A null text reads as the empty one where hosts may pass one.
#include <cstdint>
#include <cstring>
#include <string_view>

#include "frame/export_entry.h"
#include "helpers/ascii.h"

namespace {

using tessaly::lowerAscii;
using tessaly::upperAscii;

std::string_view textOf(const char* text) { return text ? std::string_view(text) : std::string_view(); }

std::int32_t sign(int comparison) { return comparison < 0 ? -1 : comparison > 0 ? 1 : 0; }

std::int32_t positionOrMinusOne(std::size_t position) {
    return position == std::string_view::npos ? -1 : static_cast<std::int32_t>(position);
}

template <typename Accept>
std::int32_t consistsOf(const char* text, Accept accept) {
    if (text == nullptr || *text == '\0') return 0;
    for (; *text; ++text)
        if (!accept(*text)) return 0;
    return 1;
}

}  // namespace

TESSALY_EXPORT std::int32_t TESSALY_API strlen_zk(const char* text) {
    return static_cast<std::int32_t>(textOf(text).size());
}

// A byte of 0x81 or more starts a two-byte character, which counts once.
TESSALY_EXPORT std::int32_t TESSALY_API strlenword_zk(const char* text) {
    const std::string_view view = textOf(text);
    std::int32_t characters = 0;
    for (std::size_t i = 0; i < view.size(); ++characters)
        i += static_cast<unsigned char>(view[i]) >= 0x81 ? 2 : 1;
    return characters;
}

TESSALY_EXPORT std::int32_t TESSALY_API instr_zk(const char* text, const char* sought) {
    return positionOrMinusOne(textOf(text).find(textOf(sought)));
}

// The last occurrence, overlapping ones included; an empty sought text is found at the end.
TESSALY_EXPORT std::int32_t TESSALY_API inrstr_zk(const char* text, const char* sought) {
    return positionOrMinusOne(textOf(text).rfind(textOf(sought)));
}

TESSALY_EXPORT void TESSALY_API setstrchar_zk(char* text, std::uint32_t index, std::int32_t character) {
    if (text == nullptr) return;
    // An index at or past the end (negative ones read as huge) changes nothing.
    if (index < std::strlen(text)) text[index] = static_cast<char>(character & 0xFF);
}

TESSALY_EXPORT void TESSALY_API setstrchars_zk(char** textReference, std::uint32_t index,
                                               std::int32_t character) {
    if (textReference != nullptr) setstrchar_zk(*textReference, index, character);
}

// Unsigned byte order; a prefix is the smaller text.
TESSALY_EXPORT std::int32_t TESSALY_API strcmp_zk(const char* first, const char* second) {
    return sign(textOf(first).compare(textOf(second)));
}

// Exported as _memcmp_zk@12.
TESSALY_EXPORT std::int32_t TESSALY_API memcmp_zk(const void* first, const void* second,
                                                  std::uint32_t count) {
    return count == 0 ? 0 : sign(std::memcmp(first, second, count));
}

TESSALY_EXPORT char* TESSALY_API toupper_zk(char* text) {
    if (text != nullptr)
        for (char* c = text; *c; ++c) *c = upperAscii(*c);
    return text;
}

TESSALY_EXPORT char* TESSALY_API touppers_zk(char** textReference) {
    return textReference ? toupper_zk(*textReference) : nullptr;
}

TESSALY_EXPORT char* TESSALY_API tolower_zk(char* text) {
    if (text != nullptr)
        for (char* c = text; *c; ++c) *c = lowerAscii(*c);
    return text;
}

TESSALY_EXPORT char* TESSALY_API tolowers_zk(char** textReference) {
    return textReference ? tolower_zk(*textReference) : nullptr;
}

TESSALY_EXPORT std::int32_t TESSALY_API isnumeric_zk(const char* text) {
    return consistsOf(text, [](char c) { return c >= '0' && c <= '9'; });
}

TESSALY_EXPORT std::int32_t TESSALY_API isdigital_zk(const char* text) {
    return consistsOf(text, [](char c) { return (c >= '0' && c <= '9') || c == '.'; });
}
