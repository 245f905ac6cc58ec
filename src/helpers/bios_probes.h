// The BIOS text reader's probes: where the firmware keeps its text in the last 64 KiB of the
// first megabyte, the shape each place must have, and the text taken from it. Works on byte
// ranges only (the mapped views), so it never reads past what was mapped.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

namespace tessaly::bios {

struct Probe {
    std::uint32_t physicalAddress;
    std::uint32_t pageOffset;  // where the address falls in its 4 KiB page
    int firstMarker, secondMarker;
    char marker;
};

// Tried in this order; the last one that passes gives the text.
constexpr std::array<Probe, 5> probes = {{
    {0xFEC71, 0xC71, 2, 5, '/'},
    {0xFF478, 0x478, 2, 7, '-'},
    {0xF6577, 0x577, 7, 11, '.'},
    {0xF7196, 0x196, 7, 11, '.'},
    {0xF7550, 0x550, 7, 11, '.'},
}};

constexpr std::size_t maxTextLength = 50;

// Whether the bytes at a probe (to the end of the mapped view) have its shape: both marker
// bytes, and every byte up to the first zero between 0x20 and 0x71 as signed bytes. A scan
// that reaches the end of the view, or a marker past it, fails.
bool hasShape(std::span<const std::uint8_t> bytes, const Probe& probe);

// The text at a probe: at most 50 bytes, up to the first byte outside 0x21..0x70.
std::string textAt(std::span<const std::uint8_t> bytes);

// The BIOS text: view(i) gives the bytes at probe i to the end of its view, or nothing when it
// could not be mapped. The last probe whose shape passes wins, even with an empty text.
std::string readText(const std::function<std::optional<std::span<const std::uint8_t>>(std::size_t)>& view);

}  // namespace tessaly::bios
