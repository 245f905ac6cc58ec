// MD5 (RFC 1321) as a streaming engine, and HMAC-MD5 (RFC 2104) over it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace tessaly::md5 {

constexpr std::size_t digestSize = 16;
constexpr std::size_t blockSize = 64;

struct MD5Context {
    std::array<std::uint32_t, 4> state;   // chaining values A, B, C, D
    std::array<std::uint32_t, 2> count;   // message bits so far, low word first (mod 2^64)
    std::array<std::uint8_t, 64> buffer;  // the incomplete block
};

void initialise(MD5Context& context);
// Absorbs the bytes; whole blocks are compressed straight from data.
void update(MD5Context& context, std::span<const std::uint8_t> data);
// Pads, writes the 16-byte digest (each word least significant byte first), then wipes the
// context. digest may overlap anything already absorbed.
void finish(MD5Context& context, std::uint8_t* digest);

// One-shot MD5 of data.
void digest(std::span<const std::uint8_t> data, std::uint8_t* out);

// HMAC-MD5 (a key over 64 bytes is hashed first) as a streaming engine: the inner context
// and the outer pad. finish writes the 16-byte result and wipes the context.
struct HmacContext {
    MD5Context inner;
    std::array<std::uint8_t, 64> outerPad;
};
void initialise(HmacContext& context, std::span<const std::uint8_t> key);
void update(HmacContext& context, std::span<const std::uint8_t> data);
void finish(HmacContext& context, std::uint8_t* out);

// One-shot HMAC-MD5 of data under key. out may overlap key or data: both are consumed
// before out is written. Pads, hashed key and contexts are wiped.
void hmac(std::span<const std::uint8_t> key, std::span<const std::uint8_t> data,
          std::uint8_t* out);

}  // namespace tessaly::md5
