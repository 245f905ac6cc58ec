// SHA-256 (FIPS 180-2) as a streaming engine, with the SHA extensions where the processor has
// them and a portable compression otherwise.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace tessaly::sha256 {

constexpr std::size_t digestSize = 32;
constexpr std::size_t blockSize = 64;

struct SHA256Context {
    std::array<std::uint32_t, 2> total;   // message bytes so far, low word first
    std::array<std::uint32_t, 8> state;   // chaining values H0..H7
    std::array<std::uint8_t, 64> buffer;  // the incomplete block
};

void initialise(SHA256Context& context);
// Absorbs the bytes; whole blocks are compressed straight from data.
void update(SHA256Context& context, std::span<const std::uint8_t> data);
// Pads, writes the 32-byte digest (each word most significant byte first), then wipes the
// context. digest may overlap anything already absorbed.
void finish(SHA256Context& context, std::uint8_t* digest);

// One-shot SHA-256 of data.
void digest(std::span<const std::uint8_t> data, std::uint8_t* out);

// The compression functions this processor can run: "portable" first, then "sha-ni" where
// the SHA extensions exist. Each compresses blockCount consecutive 64-byte blocks into state;
// all give the same state.
using CompressFunction = void (*)(std::array<std::uint32_t, 8>& state, const std::uint8_t* blocks,
                                  std::size_t blockCount);
struct CompressionPath {
    const char* name;
    CompressFunction compress;
};
std::span<const CompressionPath> availablePaths();

}  // namespace tessaly::sha256
