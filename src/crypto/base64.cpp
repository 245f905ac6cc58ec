// Base64 engine: the plain group rules, the portable table path and the SSSE3 path.
#include "base64.h"

#include <array>
#include <atomic>

#include "bytes.h"
#include "cpu_features.h"

#if defined(__i386__) || defined(__x86_64__)
#define TESSALY_BASE64_SSSE3 1
#include <immintrin.h>
#endif

namespace tessaly::base64 {
namespace {

// ---- plain: the rules written out group by group ----------------------------------------

std::size_t encodePlain(std::span<const std::uint8_t> input, std::uint8_t* output) {
    const std::size_t length = input.size();
    std::size_t groups = 0;
    for (std::size_t i = 0; i < length; i += 3, ++groups) {
        const std::size_t left = length - i;
        const std::uint8_t b0 = input[i];
        const std::uint8_t b1 = left > 1 ? input[i + 1] : 0;
        const std::uint8_t b2 = left > 2 ? input[i + 2] : 0;
        std::uint8_t* out = output + 4 * i / 3;
        out[0] = alphabet[b0 >> 2];
        out[1] = alphabet[((b0 & 3) << 4) | (b1 >> 4)];
        out[2] = left > 1 ? alphabet[((b1 & 15) << 2) | (b2 >> 6)] : padCharacter;
        out[3] = left > 2 ? alphabet[b2 & 63] : padCharacter;
    }
    return 4 * groups;
}

// Decodes one group of four table values at out; returns how far the result advances.
// Arithmetic stays in 8 bits: 255s take part in the shifts as they are.
std::size_t decodeGroup(std::uint8_t d0, std::uint8_t d1, std::uint8_t d2, std::uint8_t d3,
                        std::uint8_t* out) {
    const int invalidCount = (d0 == invalidValue) + (d1 == invalidValue) +
                             (d2 == invalidValue) + (d3 == invalidValue);
    const auto byte = [](unsigned v) { return static_cast<std::uint8_t>(v); };
    const std::uint8_t b0 = byte(d0 << 2 | ((d1 >> 4) & 3));
    const std::uint8_t b1 = byte(d1 << 4 | ((d2 >> 2) & 15));
    const std::uint8_t b2 = byte(d2 << 6 | (d3 & 63));
    switch (invalidCount) {
        case 2:  // "xx==": one byte; the spare byte is what the dropped bits held
            out[0] = b0;
            out[1] = byte(d1 << 4);
            return 1;
        case 1:  // "xxx=": two bytes and a spare byte
            out[0] = b0;
            out[1] = b1;
            out[2] = byte(d2 << 6);
            return 2;
        default:  // no invalid value, or three or four: three bytes as computed
            out[0] = b0;
            out[1] = b1;
            out[2] = b2;
            return 3;
    }
}

std::size_t decodeGroupAt(const std::uint8_t* in, std::uint8_t* out) {
    // All four characters are read before anything is written: decoding may run in place.
    return decodeGroup(decodingTable[in[0]], decodingTable[in[1]], decodingTable[in[2]],
                       decodingTable[in[3]], out);
}

std::size_t decodePlain(std::span<const std::uint8_t> input, std::uint8_t* output) {
    std::size_t written = 0;
    for (std::size_t p = 0; p + 4 <= input.size(); p += 4)
        written += decodeGroupAt(input.data() + p, output + written);
    return written;
}

// ---- tables: the portable fast path ------------------------------------------------------

// Two alphabet characters for every 12-bit value, first character in the low byte.
constexpr std::array<std::uint16_t, 4096> characterPairs = [] {
    std::array<std::uint16_t, 4096> table{};
    for (unsigned v = 0; v < 4096; ++v)
        table[v] = static_cast<std::uint16_t>(static_cast<std::uint8_t>(alphabet[v >> 6]) |
                                              static_cast<std::uint8_t>(alphabet[v & 63]) << 8);
    return table;
}();

// The remaining 1 to 3 groups (or fewer bytes) go through the plain rules.
std::size_t encodeTail(std::span<const std::uint8_t> input, std::size_t done,
                       std::uint8_t* output) {
    encodePlain(input.subspan(done), output + done / 3 * 4);
    return encodedSize(input.size());
}

std::size_t encodeTables(std::span<const std::uint8_t> input, std::uint8_t* output) {
    const std::uint8_t* in = input.data();
    std::size_t i = 0;
    // A 4-byte load takes 3 bytes and one more, so stop while 4 are still left.
    for (; i + 4 <= input.size(); i += 3) {
        const std::uint32_t bits = load32_be(in + i) >> 8;
        std::uint8_t* out = output + i / 3 * 4;
        store16_le(out, characterPairs[bits >> 12]);
        store16_le(out + 2, characterPairs[bits & 0xFFF]);
    }
    return encodeTail(input, i, output);
}

// Each character's value pre-shifted into its place in the 24-bit group; an invalid
// character sets bit 31, so one OR of four lookups both assembles and checks a group.
constexpr std::uint32_t invalidFlag = 0x80000000u;
using ShiftedTable = std::array<std::uint32_t, 256>;
constexpr ShiftedTable makeShiftedTable(unsigned shift) {
    ShiftedTable table{};
    for (unsigned c = 0; c < 256; ++c)
        table[c] = decodingTable[c] == invalidValue ? invalidFlag
                                                    : std::uint32_t{decodingTable[c]} << shift;
    return table;
}
constexpr ShiftedTable shifted18 = makeShiftedTable(18);
constexpr ShiftedTable shifted12 = makeShiftedTable(12);
constexpr ShiftedTable shifted6 = makeShiftedTable(6);
constexpr ShiftedTable shifted0 = makeShiftedTable(0);

// Decodes the groups in [p, end) with the tables; returns the new output position.
std::size_t decodeGroupsTables(const std::uint8_t* in, std::size_t p, std::size_t end,
                               std::uint8_t* output, std::size_t written) {
    for (; p + 4 <= end; p += 4) {
        const std::uint8_t* group = in + p;
        const std::uint32_t bits = shifted18[group[0]] | shifted12[group[1]] |
                                   shifted6[group[2]] | shifted0[group[3]];
        if (bits & invalidFlag) {
            written += decodeGroupAt(group, output + written);
        } else if (p + 8 <= end) {
            // One 4-byte store; the next group writes at least two bytes from the fourth one
            // on, so nothing is left that the plain rules would not have written.
            store32_be(output + written, bits << 8);
            written += 3;
        } else {
            output[written] = static_cast<std::uint8_t>(bits >> 16);
            output[written + 1] = static_cast<std::uint8_t>(bits >> 8);
            output[written + 2] = static_cast<std::uint8_t>(bits);
            written += 3;
        }
    }
    return written;
}

std::size_t decodeTables(std::span<const std::uint8_t> input, std::uint8_t* output) {
    return decodeGroupsTables(input.data(), 0, input.size() / 4 * 4, output, 0);
}

// ---- ssse3: sixteen characters at a time -------------------------------------------------

#ifdef TESSALY_BASE64_SSSE3

// Offset added to a value to give its character, by range class: 0 for 26..51, 1..12 for
// 52..63, 13 for 0..25.
constexpr std::array<std::uint8_t, 16> characterOffsets = [] {
    std::array<std::uint8_t, 16> t{};
    t[0] = 'a' - 26;
    for (int cls = 1; cls <= 10; ++cls) t[cls] = static_cast<std::uint8_t>('0' - 52);
    t[11] = static_cast<std::uint8_t>('+' - 62);
    t[12] = static_cast<std::uint8_t>('/' - 63);
    t[13] = 'A';
    return t;
}();

// Offset from character to value by high nibble; '/' (0x2F) is moved to index 1 to part it
// from '+' (0x2B), which shares its high nibble.
constexpr std::array<std::uint8_t, 16> characterToValueOffsets = {
    0, static_cast<std::uint8_t>(63 - '/'), static_cast<std::uint8_t>(62 - '+'), static_cast<std::uint8_t>(52 - '0'),
    static_cast<std::uint8_t>(-'A'), static_cast<std::uint8_t>(-'A'), static_cast<std::uint8_t>(26 - 'a'),
    static_cast<std::uint8_t>(26 - 'a')};

__attribute__((target("ssse3"))) __m128i loadTable(const std::array<std::uint8_t, 16>& table) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(table.data()));
}

// Twelve bytes in, sixteen characters out. The shuffle puts each 3-byte group [a b c] in a
// 32-bit lane as the 16-bit words a:b and b:c; two multiplies move the four 6-bit fields to
// the four bytes of the lane, and a 16-entry offset table turns values into characters.
// From byte i on while sixteen bytes are left; returns where it stopped.
__attribute__((target("ssse3"))) std::size_t encodeBlocksSsse3(std::span<const std::uint8_t> input, std::size_t i,
                                                               std::uint8_t* output) {
    const std::uint8_t* in = input.data();
    const __m128i spread = _mm_setr_epi8(1, 0, 2, 1, 4, 3, 5, 4, 7, 6, 8, 7, 10, 9, 11, 10);
    const __m128i fieldsAC = _mm_set1_epi32(0x0FC0FC00);
    const __m128i shiftAC = _mm_set1_epi32(0x04000040);
    const __m128i fieldsBD = _mm_set1_epi32(0x003F03F0);
    const __m128i shiftBD = _mm_set1_epi32(0x01000010);
    const __m128i offsets = loadTable(characterOffsets);
    // A 16-byte load uses 12 of them, so stop while 16 are still left.
    for (; i + 16 <= input.size(); i += 12) {
        __m128i lanes = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i)),
                                         spread);
        const __m128i ac = _mm_mulhi_epu16(_mm_and_si128(lanes, fieldsAC), shiftAC);
        const __m128i bd = _mm_mullo_epi16(_mm_and_si128(lanes, fieldsBD), shiftBD);
        const __m128i values = _mm_or_si128(ac, bd);
        // Class: 0 for 26..51, 1..12 for 52..63, 13 for 0..25.
        __m128i cls = _mm_subs_epu8(values, _mm_set1_epi8(51));
        const __m128i upper = _mm_cmpgt_epi8(_mm_set1_epi8(26), values);
        cls = _mm_or_si128(cls, _mm_and_si128(upper, _mm_set1_epi8(13)));
        const __m128i chars = _mm_add_epi8(values, _mm_shuffle_epi8(offsets, cls));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(output + i / 3 * 4), chars);
    }
    return i;
}

__attribute__((target("ssse3"))) std::size_t encodeSsse3(std::span<const std::uint8_t> input,
                                                         std::uint8_t* output) {
    return encodeTail(input, encodeBlocksSsse3(input, 0, output), output);
}

// Character classes by high nibble, derived from the decoding table: a character is in the
// alphabet exactly when (lowNibbleMask[low] & highNibbleClass[high]) == 0.
struct NibbleTables {
    std::array<std::uint8_t, 16> highNibbleClass{};
    std::array<std::uint8_t, 16> lowNibbleMask{};
};
constexpr NibbleTables nibbleTables = [] {
    NibbleTables t{};
    std::array<std::uint16_t, 8> classValidLows{};  // the valid low nibbles of each class
    unsigned classes = 0;
    for (unsigned high = 0; high < 16; ++high) {
        std::uint16_t validLows = 0;
        for (unsigned low = 0; low < 16; ++low)
            if (decodingTable[high << 4 | low] != invalidValue) validLows |= 1u << low;
        unsigned cls = 0;
        while (cls < classes && classValidLows[cls] != validLows) ++cls;
        if (cls == classes) classValidLows[classes++] = validLows;  // at most 8 classes
        t.highNibbleClass[high] = static_cast<std::uint8_t>(1u << cls);
    }
    for (unsigned low = 0; low < 16; ++low)
        for (unsigned cls = 0; cls < classes; ++cls)
            if (!(classValidLows[cls] >> low & 1))
                t.lowNibbleMask[low] |= static_cast<std::uint8_t>(1u << cls);
    return t;
}();

// Sixteen alphabet characters in, twelve bytes out. A block with any other character goes
// through the tables path group by group, which applies the exact rules.
// From character p on while 28 are left; written: the bytes out so far, kept up to date.
// Returns where it stopped.
__attribute__((target("ssse3"))) std::size_t decodeBlocksSsse3(const std::uint8_t* in, std::size_t p,
                                                               std::size_t end, std::uint8_t* output,
                                                               std::size_t& written) {
    const __m128i highClass = loadTable(nibbleTables.highNibbleClass);
    const __m128i lowMask = loadTable(nibbleTables.lowNibbleMask);
    const __m128i nibble = _mm_set1_epi8(0x0F);
    const __m128i valueOffsets = loadTable(characterToValueOffsets);
    const __m128i slash = _mm_set1_epi8('/');
    const __m128i pairWeights = _mm_set1_epi32(0x01400140);   // v0 * 64 + v1
    const __m128i wordWeights = _mm_set1_epi32(0x00011000);   // w0 * 4096 + w1
    const __m128i gather = _mm_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1);
    // The 16-byte store writes 4 bytes past the block's 12. Every group writes at least two
    // bytes and advances at least one, so the three groups that follow the block overwrite
    // all four: 12 more characters must be ahead. In place, the store stays behind the
    // characters still to be read.
    while (p + 28 <= end) {
        const __m128i chars = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + p));
        const __m128i highs = _mm_and_si128(_mm_srli_epi32(chars, 4), nibble);
        const __m128i lows = _mm_and_si128(chars, nibble);
        const __m128i invalid =
            _mm_and_si128(_mm_shuffle_epi8(lowMask, lows), _mm_shuffle_epi8(highClass, highs));
        if (_mm_movemask_epi8(_mm_cmpeq_epi8(invalid, _mm_setzero_si128())) != 0xFFFF) {
            written = decodeGroupsTables(in, p, p + 16, output, written);
            p += 16;
            continue;
        }
        const __m128i index = _mm_add_epi8(highs, _mm_cmpeq_epi8(chars, slash));
        const __m128i values = _mm_add_epi8(chars, _mm_shuffle_epi8(valueOffsets, index));
        const __m128i words = _mm_maddubs_epi16(values, pairWeights);
        const __m128i groups = _mm_madd_epi16(words, wordWeights);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(output + written),
                         _mm_shuffle_epi8(groups, gather));
        written += 12;
        p += 16;
    }
    return p;
}

__attribute__((target("ssse3"))) std::size_t decodeSsse3(std::span<const std::uint8_t> input,
                                                         std::uint8_t* output) {
    const std::size_t end = input.size() / 4 * 4;
    std::size_t written = 0;
    const std::size_t p = decodeBlocksSsse3(input.data(), 0, end, output, written);
    return decodeGroupsTables(input.data(), p, end, output, written);
}

// ---- avx2: thirty-two characters at a time, each 128-bit half as the ssse3 path does -----

#define TESSALY_AVX2 __attribute__((target("avx2")))

TESSALY_AVX2 __m256i broadcastTable(const std::array<std::uint8_t, 16>& table) {
    return _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(table.data())));
}

TESSALY_AVX2 std::size_t encodeAvx2(std::span<const std::uint8_t> input, std::uint8_t* output) {
    const std::uint8_t* in = input.data();
    const __m256i spread = _mm256_setr_epi8(1, 0, 2, 1, 4, 3, 5, 4, 7, 6, 8, 7, 10, 9, 11, 10,
                                            1, 0, 2, 1, 4, 3, 5, 4, 7, 6, 8, 7, 10, 9, 11, 10);
    const __m256i fieldsAC = _mm256_set1_epi32(0x0FC0FC00);
    const __m256i shiftAC = _mm256_set1_epi32(0x04000040);
    const __m256i fieldsBD = _mm256_set1_epi32(0x003F03F0);
    const __m256i shiftBD = _mm256_set1_epi32(0x01000010);
    const __m256i offsets = broadcastTable(characterOffsets);
    std::size_t i = 0;
    // Twelve bytes from each of two 16-byte loads, the second 12 bytes on.
    for (; i + 28 <= input.size(); i += 24) {
        const __m256i bytes = _mm256_inserti128_si256(
            _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i))),
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i + 12)), 1);
        const __m256i lanes = _mm256_shuffle_epi8(bytes, spread);
        const __m256i ac = _mm256_mulhi_epu16(_mm256_and_si256(lanes, fieldsAC), shiftAC);
        const __m256i bd = _mm256_mullo_epi16(_mm256_and_si256(lanes, fieldsBD), shiftBD);
        const __m256i values = _mm256_or_si256(ac, bd);
        __m256i cls = _mm256_subs_epu8(values, _mm256_set1_epi8(51));
        const __m256i upper = _mm256_cmpgt_epi8(_mm256_set1_epi8(26), values);
        cls = _mm256_or_si256(cls, _mm256_and_si256(upper, _mm256_set1_epi8(13)));
        const __m256i chars = _mm256_add_epi8(values, _mm256_shuffle_epi8(offsets, cls));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(output + i / 3 * 4), chars);
    }
    _mm256_zeroupper();
    return encodeTail(input, encodeBlocksSsse3(input, i, output), output);
}

TESSALY_AVX2 std::size_t decodeAvx2(std::span<const std::uint8_t> input, std::uint8_t* output) {
    const std::uint8_t* in = input.data();
    const std::size_t end = input.size() / 4 * 4;
    const __m256i highClass = broadcastTable(nibbleTables.highNibbleClass);
    const __m256i lowMask = broadcastTable(nibbleTables.lowNibbleMask);
    const __m256i nibble = _mm256_set1_epi8(0x0F);
    const __m256i valueOffsets = broadcastTable(characterToValueOffsets);
    const __m256i slash = _mm256_set1_epi8('/');
    const __m256i pairWeights = _mm256_set1_epi32(0x01400140);
    const __m256i wordWeights = _mm256_set1_epi32(0x00011000);
    const __m256i gather = _mm256_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1,
                                            2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1);
    const __m256i compact = _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 7, 7);
    std::size_t p = 0;
    std::size_t written = 0;
    // The 32-byte store writes 8 bytes past the block's 24; as in the ssse3 path, the seven
    // groups that follow overwrite them, so 28 more characters must be ahead.
    while (p + 60 <= end) {
        const __m256i chars = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + p));
        const __m256i highs = _mm256_and_si256(_mm256_srli_epi32(chars, 4), nibble);
        const __m256i lows = _mm256_and_si256(chars, nibble);
        const __m256i invalid =
            _mm256_and_si256(_mm256_shuffle_epi8(lowMask, lows), _mm256_shuffle_epi8(highClass, highs));
        if (_mm256_movemask_epi8(_mm256_cmpeq_epi8(invalid, _mm256_setzero_si256())) != -1) {
            written = decodeGroupsTables(in, p, p + 32, output, written);
            p += 32;
            continue;
        }
        const __m256i index = _mm256_add_epi8(highs, _mm256_cmpeq_epi8(chars, slash));
        const __m256i values = _mm256_add_epi8(chars, _mm256_shuffle_epi8(valueOffsets, index));
        const __m256i words = _mm256_maddubs_epi16(values, pairWeights);
        const __m256i groups = _mm256_madd_epi16(words, wordWeights);
        const __m256i bytes = _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(groups, gather), compact);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(output + written), bytes);
        written += 24;
        p += 32;
    }
    _mm256_zeroupper();
    p = decodeBlocksSsse3(in, p, end, output, written);
    return decodeGroupsTables(in, p, end, output, written);
}

#endif  // TESSALY_BASE64_SSSE3

const cpu::PathList<Path, 4>& paths() {
    static const cpu::PathList<Path, 4> list = [] {
        cpu::PathList<Path, 4> list;
        list.add({"plain", encodePlain, decodePlain});
        list.add({"tables", encodeTables, decodeTables});
#ifdef TESSALY_BASE64_SSSE3
        if (cpu::features().ssse3) list.add({"ssse3", encodeSsse3, decodeSsse3});
        if (cpu::features().avx2) list.add({"avx2", encodeAvx2, decodeAvx2});
#endif
        return list;
    }();
    return list;
}

}  // namespace

std::span<const Path> availablePaths() { return paths().all(); }

const Path& fastestPath() { return paths().fastest(); }

std::size_t encode(std::span<const std::uint8_t> input, std::uint8_t* output) {
    return fastestPath().encode(input, output);
}

std::size_t decode(std::span<const std::uint8_t> input, std::uint8_t* output) {
    return fastestPath().decode(input, output);
}

}  // namespace tessaly::base64
