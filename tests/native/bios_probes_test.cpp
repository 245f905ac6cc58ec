// The BIOS reader's probes on crafted bytes: shapes, texts, the last passing probe winning, and
// scans that reach the end of a view.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "helpers/bios_probes.h"

namespace tessaly {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes bytesOf(const std::string& text, bool zero = true) {
    Bytes b(text.begin(), text.end());
    if (zero) b.push_back(0);
    return b;
}

TEST(BiosProbes, Shapes) {
    const auto& slashes = bios::probes[0];  // "/" at bytes 2 and 5
    const auto& points = bios::probes[2];   // "." at bytes 7 and 11
    EXPECT_TRUE(bios::hasShape(bytesOf("01/02/99"), slashes));
    EXPECT_FALSE(bios::hasShape(bytesOf("01-02-99"), slashes));
    EXPECT_TRUE(bios::hasShape(bytesOf("ABCDEFG.IJK.MN"), points));
    EXPECT_FALSE(bios::hasShape(bytesOf("01/02/9\x80"), slashes)) << "bytes from 0x80 fail";
    EXPECT_FALSE(bios::hasShape(bytesOf("01/02/9\x1F"), slashes)) << "control bytes fail";
    EXPECT_FALSE(bios::hasShape(bytesOf("01/02/9r"), slashes)) << "0x72 and above fail";
    EXPECT_TRUE(bios::hasShape(bytesOf("01/02/9q"), slashes)) << "0x71 passes";
    Bytes zeroFirst = bytesOf("X1/23/5");
    zeroFirst[0] = 0;
    EXPECT_TRUE(bios::hasShape(zeroFirst, slashes)) << "a zero at byte 0 ends the scan";
    // The view ends before a zero: the probe fails, and nothing past the view is read.
    EXPECT_FALSE(bios::hasShape(bytesOf("01/02/99", false), slashes));
    EXPECT_FALSE(bios::hasShape(bytesOf("01/0", false), slashes)) << "a marker past the view";
}

TEST(BiosProbes, Texts) {
    EXPECT_EQ(bios::textAt(bytesOf("06/23/99")), "06/23/99");
    EXPECT_EQ(bios::textAt(bytesOf("AWARD BIOS V4.51")), "AWARD") << "cut at the first blank";
    EXPECT_EQ(bios::textAt(bytesOf("Award")), "A") << "lower-case w (0x77) ends it";
    EXPECT_EQ(bios::textAt(bytesOf("ABCqrs")), "ABC") << "q (0x71) ends it";
    EXPECT_EQ(bios::textAt(bytesOf(std::string(80, 'A'))), std::string(50, 'A'));
    EXPECT_EQ(bios::textAt(bytesOf("ABC", false)), "ABC") << "the view's end ends it";
}

TEST(BiosProbes, TheLastPassingProbeWins) {
    std::map<std::size_t, Bytes> views = {
        {0, bytesOf("01/02/99")},               // probe 1 passes
        {1, bytesOf("not a match")},            // probe 2 fails
        {3, bytesOf("4-26-A2.DEF.HIJ TEXT")},   // probe 4 passes
    };  // probes 3 and 5 cannot be mapped
    const auto view = [&](std::size_t i) -> std::optional<std::span<const std::uint8_t>> {
        const auto found = views.find(i);
        if (found == views.end()) return std::nullopt;
        return std::span<const std::uint8_t>(found->second);
    };
    EXPECT_EQ(bios::readText(view), "4-26-A2.DEF.HIJ");
    views[4] = Bytes(12, 0);
    views[4][7] = views[4][11] = '.';  // passes with an empty text, and still wins
    EXPECT_EQ(bios::readText(view), "");
    views.clear();
    EXPECT_EQ(bios::readText(view), "");
}

}  // namespace
}  // namespace tessaly
