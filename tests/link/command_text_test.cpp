#include "link/command_text.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

namespace {

struct Converted {
    int result;
    std::vector<std::uint8_t> bytes;  // what was written, up to the count or the failure
    std::array<std::uint8_t, 64> dest;
};

Converted Convert(std::string_view text, std::size_t capacity = 64) {
    Converted out{};
    out.dest.fill(0xEE);
    out.result = HexPairsToBytes(text, out.dest.data(), capacity);
    std::size_t written = 0;
    while (written < out.dest.size() && out.dest[written] != 0xEE) {
        ++written;
    }
    out.bytes.assign(out.dest.begin(), out.dest.begin() + static_cast<long>(written));
    return out;
}

using Bytes = std::vector<std::uint8_t>;

TEST(HexPairsToBytes, SeparatorsAnywhereAndCaseAreIgnored) {
    EXPECT_EQ(Convert("1d 1a 1b").bytes, (Bytes{0x1D, 0x1A, 0x1B}));
    EXPECT_EQ(Convert("a53e1c72").bytes, (Bytes{0xA5, 0x3E, 0x1C, 0x72}));
    EXPECT_EQ(Convert("1 D").bytes, (Bytes{0x1D}));
    EXPECT_EQ(Convert("\r\n1\r\nd\n").bytes, (Bytes{0x1D}));
    EXPECT_EQ(Convert("1D 03   03").bytes, (Bytes{0x1D, 0x03, 0x03}));
    EXPECT_EQ(Convert("ff").bytes, Convert("FF").bytes);
    EXPECT_EQ(Convert("ff").bytes, (Bytes{0xFF}));

    const Converted bracket = Convert("1D   1A   1B   1C  1D 4D 4F 44 45 01 1D 02   04");
    EXPECT_EQ(bracket.result, 13);
    EXPECT_EQ(bracket.bytes, (Bytes{0x1D, 0x1A, 0x1B, 0x1C, 0x1D, 0x4D, 0x4F, 0x44, 0x45, 0x01,
                                    0x1D, 0x02, 0x04}));
    EXPECT_EQ(Convert("1d1a1b1c1d4d4f4445011d02401d1a1b1c1d4d4f444502").result, 23);
}

TEST(HexPairsToBytes, LoneLastDigitIsDroppedUnchecked) {
    EXPECT_EQ(Convert("1D 52 09 0").bytes, (Bytes{0x1D, 0x52, 0x09}));
    const Converted abc = Convert("ABC");
    EXPECT_EQ(abc.result, 1);
    EXPECT_EQ(abc.bytes, (Bytes{0xAB}));
    EXPECT_EQ(Convert("A").result, 0);
    EXPECT_EQ(Convert("1dG").result, 1);
    EXPECT_EQ(Convert("").result, 0);
    EXPECT_EQ(Convert(" \r\n ").result, 0);
}

TEST(HexPairsToBytes, BadCharacterFailsAfterWritingWhatCameBefore) {
    const Converted g = Convert("12 G4");
    EXPECT_EQ(g.result, kBadCommandCharacter);
    EXPECT_EQ(g.bytes, (Bytes{0x12}));

    // A tab is no separator: it becomes the next high digit and is invalid.
    const Converted tab = Convert("1d\t1a");
    EXPECT_EQ(tab.result, kBadCommandCharacter);
    EXPECT_EQ(tab.bytes, (Bytes{0x1D}));
}

TEST(HexPairsToBytes, NeverWritesPastTheCapacity) {
    const Converted full = Convert("01 02 03", 2);
    EXPECT_EQ(full.result, kCommandTextTooLong);
    EXPECT_EQ(full.bytes, (Bytes{0x01, 0x02}));
    EXPECT_NE(kCommandTextTooLong, kBadCommandCharacter);

    // Exactly full, or only separators and a lone digit left over: not too long.
    EXPECT_EQ(Convert("01 02", 2).result, 2);
    EXPECT_EQ(Convert("01 02 \r\n 3", 2).result, 2);
    EXPECT_EQ(Convert("01", 0).result, kCommandTextTooLong);

    std::string huge(4000, 'a');
    std::array<std::uint8_t, 1024> buffer{};
    EXPECT_EQ(HexPairsToBytes(huge, buffer.data(), buffer.size()), kCommandTextTooLong);
}

}  // namespace
