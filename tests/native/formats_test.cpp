// The formats in pieces: any way of cutting the input gives the bytes of one whole call, the
// chain byte and the tokens carried across the cuts; and the canonical Base64 check.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "common/test_vectors.h"
#include "crypto/base64.h"
#include "formats/base64_text.h"
#include "formats/rsa_lines.h"
#include "formats/scrambling.h"

namespace tessaly {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::randomBytes;

// Cuts data into pieces of random sizes (empty ones too) and hands each to feed.
template <typename Feed>
void inPieces(std::mt19937& rng, const Bytes& data, Feed feed) {
    for (std::size_t at = 0; at <= data.size();) {
        const std::size_t piece = std::min<std::size_t>(data.size() - at, rng() % 4 == 0 ? rng() % 5 : rng() % 200);
        feed(std::span<const std::uint8_t>(data.data() + at, piece));
        at += piece;
        if (at == data.size()) break;
    }
}

TEST(Formats, Base64InPiecesIsOneCall) {
    std::mt19937 rng(11);
    for (int round = 0; round < 300; ++round) {
        const Bytes bytes = randomBytes(rng, rng() % 700);
        Bytes whole(base64::encodedSize(bytes.size())), pieces;
        whole.resize(base64::encode(bytes, whole.data()));
        formats::Base64Encoder encoder;
        Bytes out;
        inPieces(rng, bytes, [&](std::span<const std::uint8_t> piece) {
            out.resize(formats::Base64Encoder::room(piece.size()));
            pieces.insert(pieces.end(), out.begin(), out.begin() + encoder.update(piece, out.data()));
        });
        out.resize(4);
        pieces.insert(pieces.end(), out.begin(), out.begin() + encoder.finish(out.data()));
        EXPECT_EQ(pieces, whole);

        // Text with characters outside the alphabet and pads anywhere: every rule at once.
        Bytes text = randomBytes(rng, rng() % 700);
        for (auto& c : text) c = rng() % 8 == 0 ? c : static_cast<std::uint8_t>("QUJD=+/a\n"[c % 9]);
        Bytes decoded(base64::decodedCapacity(text.size()) + 1);
        decoded.resize(base64::decode(text, decoded.data()));
        formats::Base64Decoder decoder;
        Bytes decodedInPieces;
        inPieces(rng, text, [&](std::span<const std::uint8_t> piece) {
            out.resize(formats::Base64Decoder::room(piece.size()));
            decodedInPieces.insert(decodedInPieces.end(), out.begin(), out.begin() + decoder.update(piece, out.data()));
        });
        EXPECT_EQ(decodedInPieces, decoded);
    }
}

TEST(Formats, CanonicalBase64NamesTheFirstOffendingCharacter) {
    struct Case {
        const char* text;
        long offending;  // -1: canonical
    };
    const Case cases[] = {
        {"", -1}, {"\n", -1}, {"QQ==", -1}, {"QUI=\n", -1}, {"QUJDQUJD", -1},
        {"QQ", 2},        // ends inside a group
        {"Q===", 1},      // a pad where a character must stand
        {"QQ=A", 3},      // a character after a pad
        {"QR==", 1},      // R leaves bits that the padding drops
        {"QUJ=", 2},      // J likewise
        {"QQ==QQ==", 4},  // padding ends the text
        {"QUJD\n\n", 4},  // only one newline, and only at the end
        {"QU\nJD", 2},
        {"QUJD\r\n", 4},
        {"QU-D", 2},
    };
    std::mt19937 rng(12);
    for (const Case& c : cases) {
        const std::string text = c.text;
        formats::CanonicalBase64Check check;
        inPieces(rng, Bytes(text.begin(), text.end()), [&](std::span<const std::uint8_t> piece) { check.update(piece); });
        EXPECT_EQ(check.finish(), c.offending < 0) << text;
        if (c.offending >= 0) {
            EXPECT_EQ(check.offendingOffset(), static_cast<std::uint64_t>(c.offending)) << text;
        }
    }
}

TEST(Formats, RsaLinesInPiecesAreOneCall) {
    const rsa::NumberOperation operation("65537", "18446743979220271189");
    std::mt19937 rng(13);
    for (int round = 0; round < 200; ++round) {
        // A line with single and double spaces, and now and then a bad token.
        std::string line;
        for (int token = 0, count = static_cast<int>(rng() % 30); token < count; ++token) {
            if (rng() % 5 == 0) line += ' ';
            line += std::to_string(rng() % 100000) + (rng() % 40 == 0 ? "x" : "");
            line += ' ';
        }
        const Bytes text(line.begin(), line.end());
        const auto readAll = [&](bool pieces, formats::RsaFailure& failure) {
            formats::RsaLineReader reader(operation);
            Bytes out(formats::RsaLineReader::room(text.size()));
            std::size_t written = 0;
            if (pieces)
                inPieces(rng, text, [&](std::span<const std::uint8_t> piece) { written += reader.read(piece, out.data() + written); });
            else
                written = reader.read(text, out.data());
            written += reader.finish(out.data() + written);
            failure = reader.failure();
            out.resize(written);
            return out;
        };
        formats::RsaFailure once, cut;
        EXPECT_EQ(readAll(true, cut), readAll(false, once)) << line;
        EXPECT_EQ(cut.status, once.status);
        EXPECT_EQ(cut.index, once.index);
        EXPECT_EQ(cut.offset, once.offset);
    }
}

TEST(Formats, XorChainInPiecesIsOneCall) {
    std::mt19937 rng(14);
    for (bool chaining : {false, true}) {
        const Bytes data = randomBytes(rng, 5000);
        Bytes whole = data, cut;
        formats::XorChain(0xA5, chaining).apply(whole);
        formats::XorChain chain(0xA5, chaining);
        inPieces(rng, data, [&](std::span<const std::uint8_t> piece) {
            Bytes copy(piece.begin(), piece.end());
            chain.apply(copy);
            cut.insert(cut.end(), copy.begin(), copy.end());
        });
        EXPECT_EQ(cut, whole);
    }
}

}  // namespace
}  // namespace tessaly
