// MatchPattern_zk against a table model: the pattern is cut into its elements by the rules
// (a star, "?", a class up to its first "]", or one literal byte), and whether each text
// suffix matches each pattern suffix is filled in from the back. Unlike a backtracker it is
// quick for any number of stars, so long texts and patterns are within reach.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "tessaly.h"

namespace {

using tessaly::fuzzing::ExactText;
using tessaly::fuzzing::FuzzInput;
using tessaly::fuzzing::require;

char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }
char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

struct Element {
    enum Kind { star, any, set, literal } kind;
    std::string bytes;  // a class's bytes after "[" (up to, not including, its "]"); the literal

    bool accepts(char c) const {
        switch (kind) {
            case any: return true;
            case literal: return upper(c) == bytes[0] || lower(c) == bytes[0];
            case set: break;
            case star: return false;
        }
        const auto u = static_cast<std::int8_t>(upper(c));
        std::int8_t previous = 0;
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            if (bytes[i] != '-') {
                previous = static_cast<std::int8_t>(bytes[i]);
                if (u == previous) return true;
                continue;
            }
            if (i + 1 == bytes.size()) return false;  // "-" before "]" or the pattern's end
            const auto end = static_cast<std::int8_t>(bytes[i + 1]);
            if (previous <= u && u <= end) return true;
            previous = end;  // the range's end is read next as an item of its own
        }
        return false;  // "]" or the pattern's end reached: no item accepted
    }
};

std::vector<Element> elementsOf(const std::string& pattern) {
    std::vector<Element> elements;
    for (std::size_t p = 0; p < pattern.size(); ++p) {
        const char c = pattern[p];
        if (c == '*') elements.push_back({Element::star, {}});
        else if (c == '?') elements.push_back({Element::any, {}});
        else if (c == '[') {
            const std::size_t close = pattern.find(']', p + 1);
            const std::size_t end = close == std::string::npos ? pattern.size() : close;
            elements.push_back({Element::set, pattern.substr(p + 1, end - p - 1)});
            p = close == std::string::npos ? pattern.size() : close;
        } else elements.push_back({Element::literal, std::string(1, c)});
    }
    return elements;
}

bool modelMatch(const std::string& text, const std::string& pattern) {
    const auto elements = elementsOf(pattern);
    const std::size_t n = text.size(), m = elements.size();
    // after[i]: the elements after the current one match the text from i.
    std::vector<char> after(n + 1, 0), here(n + 1, 0);
    after[n] = 1;
    for (std::size_t j = m; j-- > 0; std::swap(after, here)) {
        const Element& e = elements[j];
        for (std::size_t i = n + 1; i-- > 0;) {
            if (e.kind == Element::star) here[i] = after[i] || (i < n && here[i + 1]);
            else here[i] = i < n && e.accepts(text[i]) && after[i + 1];
        }
    }
    return after[0] != 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const std::string pattern = input.text(256), text = input.text(2048);
    const ExactText exactText(text), exactPattern(pattern);
    require(MatchPattern_zk(exactText.get(), exactPattern.get()) == (modelMatch(text, pattern) ? 1 : 0));
    return 0;
}
