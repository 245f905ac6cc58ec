// The BIOS probes' shape tests and text extraction, on byte ranges.
#include "bios_probes.h"

namespace tessaly::bios {

bool hasShape(std::span<const std::uint8_t> bytes, const Probe& probe) {
    const auto at = [&](int i) { return static_cast<std::size_t>(i) < bytes.size() ? static_cast<int>(bytes[i]) : -1; };
    if (at(probe.firstMarker) != probe.marker || at(probe.secondMarker) != probe.marker) return false;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == 0) return true;
        const auto signedByte = static_cast<std::int8_t>(bytes[i]);  // 0x80 and above fail
        if (signedByte < 0x20 || signedByte > 0x71) return false;
    }
    return false;  // the end of the view came before a zero
}

std::string textAt(std::span<const std::uint8_t> bytes) {
    std::string text;
    for (std::size_t i = 0; i < bytes.size() && text.size() < maxTextLength; ++i) {
        if (bytes[i] <= 0x20 || bytes[i] >= 0x71) break;
        text += static_cast<char>(bytes[i]);
    }
    return text;
}

std::string readText(const std::function<std::optional<std::span<const std::uint8_t>>(std::size_t)>& view) {
    std::string result;
    for (std::size_t i = 0; i < probes.size(); ++i) {
        const auto bytes = view(i);
        if (bytes && hasShape(*bytes, probes[i])) result = textAt(*bytes);
    }
    return result;
}

}  // namespace tessaly::bios
