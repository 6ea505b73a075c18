// The wire encodings and the information-reply scans, without a link.
#include "laminator/encodings.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>

#include "laminator/information_reply.h"

namespace {

using B = std::vector<std::uint8_t>;

TEST(CNumbers, AtoiAndAtofRules) {
    EXPECT_EQ(CAtoi("12abc"), 12);
    EXPECT_EQ(CAtoi(""), 0);
    EXPECT_EQ(CAtoi("  \t-42"), -42);
    EXPECT_EQ(CAtoi("+7"), 7);
    EXPECT_EQ(CAtoi("- 7"), 0);
    EXPECT_EQ(CAtoi("abc"), 0);
    EXPECT_EQ(CAtoi("4294967297"), 1);  // a long cut to 32 bits
    EXPECT_EQ(CAtof(""), 0.0);
    EXPECT_EQ(CAtof(" -12.5mm"), -12.5);
    EXPECT_EQ(CAtof("x1"), 0.0);
    EXPECT_EQ(CAtof("+3"), 3.0);
    EXPECT_EQ(CAtof("--3"), 0.0);
    EXPECT_EQ(CAtof("0x1A"), 26.0);
    EXPECT_EQ(CAtof("1e-400"), 0.0);  // too small is zero, as atof gives
    EXPECT_EQ(CAtof("-1e400"), -HUGE_VAL);
    // A desktop locale with a decimal comma must not change what a cell means.
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr) {
        EXPECT_EQ(CAtof("2.5"), 2.5);
        std::setlocale(LC_NUMERIC, "C");
    }
    EXPECT_EQ(CHexPart("ab"), 0xab);
    EXPECT_EQ(CHexPart("Fz"), 0xf);
    EXPECT_EQ(CHexPart("-1"), 0);
    EXPECT_EQ(CHexPart(""), 0);
}

TEST(Decoding, EveryEncodingAtItsEdges) {
    EXPECT_EQ(DecodeU8(255), "255");
    EXPECT_EQ(DecodeTemp(0), "150");
    EXPECT_EQ(DecodeTemp(0xCE), "100");
    EXPECT_EQ(DecodeTemp(0x23), "185");
    const B u24 = {0xFF, 0xFF, 0xFF};
    EXPECT_EQ(DecodeU24(u24.data()), "16777215");
    const B u32 = {0x00, 0x00, 0x00, 0x80};
    EXPECT_EQ(DecodeU32(u32.data()), "-2147483648");
    const B s16a = {0x20, 0x03}, s16b = {0x9C, 0xFF}, s16c = {0xCE, 0xFF}, ffff = {0xFF, 0xFF};
    EXPECT_EQ(DecodeS16T(s16a.data()), "80.0");
    EXPECT_EQ(DecodeS16T(s16b.data()), "-10.0");
    EXPECT_EQ(DecodeS16T(s16c.data()), "-5.0");
    EXPECT_EQ(DecodeU16T(s16a.data()), "80.0");
    EXPECT_EQ(DecodeU16T(ffff.data()), "6553.5");
    const B ip = {0x14, 0x01, 0xA8, 0xC0};
    EXPECT_EQ(DecodeIp4(ip.data()), "192.168.1.20");
    const B mac = {0x56, 0x34, 0x12, 0xEF, 0xCD, 0xAB};
    EXPECT_EQ(DecodeMac6(mac.data()), "ab:cd:ef:12:34:56");
    const B ver = {0x01, 0x00, 0x0A, 0x13}, high = {0xFF, 0x80, 0x00, 0x00};
    EXPECT_EQ(DecodeVer4(ver.data()), "01.00.0a.13");
    EXPECT_EQ(DecodeVer4(high.data()), "ff.80.00.00");
    const B text = {'A', 0x80, 0xFF, 0, 'B'};
    EXPECT_EQ(BytesToText(text.data(), text.size()), "A\x80\xff");
}

TEST(Choices, ReadTablesKeepUnknownBytes) {
    EXPECT_EQ(DecodeChoice(ParamKey::LaminateMenu, 7), "Menu 8");
    EXPECT_EQ(DecodeChoice(ParamKey::LaminateMenu, 8), std::nullopt);
    EXPECT_EQ(DecodeChoice(ParamKey::BlackMarkDetect, 0), "Invalid");
    EXPECT_EQ(DecodeChoice(ParamKey::BlackMarkDetect, 2), std::nullopt);
    EXPECT_EQ(DecodeChoice(ParamKey::Buzzer, 0), "Close");
    EXPECT_EQ(DecodeChoice(ParamKey::LcdBacklight, 1), "Open");
    EXPECT_EQ(DecodeChoice(ParamKey::LanguageSetup, 1), "Japanese");
    EXPECT_EQ(DecodeChoice(ParamKey::LanguageSetup, 3), std::nullopt);
    EXPECT_EQ(DecodeChoice(ParamKey::IpGetMethod, 0x80), "static acquisition");
    EXPECT_EQ(DecodeChoice(ParamKey::IpGetMethod, 0x00), "dynamic acquisition");
    EXPECT_EQ(DecodeChoice(ParamKey::IpGetMethod, 0x01), std::nullopt);
}

TEST(Choices, WriteTablesAndTheirDefaults) {
    EXPECT_EQ(EncodeChoice(ParamKey::LaminateMenu, "Menu 3"), 2);
    EXPECT_EQ(EncodeChoice(ParamKey::LaminateMenu, "menu 3"), 0);
    EXPECT_EQ(EncodeChoice(ParamKey::BlackMarkDetect, "Valid"), 1);
    EXPECT_EQ(EncodeChoice(ParamKey::BlackMarkDetect, "x"), 0);
    EXPECT_EQ(EncodeChoice(ParamKey::Buzzer, "Close"), 0);
    EXPECT_EQ(EncodeChoice(ParamKey::Buzzer, "x"), 1);
    EXPECT_EQ(EncodeChoice(ParamKey::LcdBacklight, "Open"), 1);
    EXPECT_EQ(EncodeChoice(ParamKey::LcdBacklight, "x"), 0);
    EXPECT_EQ(EncodeChoice(ParamKey::LanguageSetup, "English"), 2);
    EXPECT_EQ(EncodeChoice(ParamKey::LanguageSetup, ""), std::nullopt);
    EXPECT_EQ(EncodeChoice(ParamKey::IpGetMethod, "static acquisition"), 0x80);
    EXPECT_EQ(EncodeChoice(ParamKey::IpGetMethod, "x"), 0x00);
}

TEST(Encoding, NumbersToBytes) {
    EXPECT_EQ(EncodeU8("300"), 44);
    EXPECT_EQ(EncodeTemp("185"), 0x23);
    EXPECT_EQ(EncodeTemp("100"), 0xCE);
    EXPECT_EQ(EncodeU24("0"), (std::array<std::uint8_t, 3>{0, 0, 0}));
    EXPECT_EQ(EncodeU24("197121"), (std::array<std::uint8_t, 3>{1, 2, 3}));
    // Seven hexadecimal digits: the first three pairs are sent.
    EXPECT_EQ(EncodeU24("19088743"), (std::array<std::uint8_t, 3>{0x56, 0x34, 0x12}));
    EXPECT_EQ(EncodeU32("-1"), (std::array<std::uint8_t, 4>{0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(EncodeTenths("2.5"), (std::array<std::uint8_t, 2>{0x19, 0x00}));
    EXPECT_EQ(EncodeTenths("-5.0"), (std::array<std::uint8_t, 2>{0xCE, 0xFF}));
    EXPECT_EQ(EncodeTenths("-0.15"), (std::array<std::uint8_t, 2>{0xFF, 0xFF}));
    EXPECT_EQ(EncodeTenths("inf"), (std::array<std::uint8_t, 2>{0, 0}));
    EXPECT_EQ(EncodeIp4("192.168.1.20"), (std::array<std::uint8_t, 4>{0x14, 0x01, 0xA8, 0xC0}));
    EXPECT_EQ(EncodeIp4("1.2"), (std::array<std::uint8_t, 4>{0, 0, 2, 1}));
    EXPECT_EQ(EncodeMac6("ab:cd:ef:12:34:56"),
              (std::array<std::uint8_t, 6>{0x56, 0x34, 0x12, 0xEF, 0xCD, 0xAB}));
}

// Every tenths value reads back as the text it was written from.
TEST(Encoding, TenthsRoundTrip) {
    for (int v = -32768; v <= 32767; ++v) {
        const std::array<std::uint8_t, 2> b = {static_cast<std::uint8_t>(v),
                                               static_cast<std::uint8_t>(v >> 8)};
        ASSERT_EQ(EncodeTenths(DecodeS16T(b.data())), b) << v;
    }
}

TEST(Encoding, AddressForms) {
    EXPECT_TRUE(IsDottedQuad("0.0.0.0"));
    EXPECT_TRUE(IsDottedQuad("255.255.255.255"));
    EXPECT_FALSE(IsDottedQuad("256.1.1.1"));
    EXPECT_FALSE(IsDottedQuad("1.2.3"));
    EXPECT_FALSE(IsDottedQuad("1.2.3.4.5"));
    EXPECT_FALSE(IsDottedQuad("1..3.4"));
    EXPECT_FALSE(IsDottedQuad(" 1.2.3.4"));
    EXPECT_FALSE(IsDottedQuad(""));
    // Some readers take a leading zero as octal: the address would be in doubt.
    EXPECT_FALSE(IsDottedQuad("127.0.0.01"));
    EXPECT_FALSE(IsDottedQuad("010.0.0.1"));
    EXPECT_FALSE(IsDottedQuad("1.2.3.4x"));
    EXPECT_TRUE(IsDottedQuad("10.0.0.100"));
    EXPECT_TRUE(IsMacText("ab:CD:ef:12:34:56"));
    EXPECT_FALSE(IsMacText("ab:cd:ef:12:34"));
    EXPECT_FALSE(IsMacText("ab:cd:ef:12:34:5"));
    EXPECT_FALSE(IsMacText("ab:cd:ef:12:34:5g"));
}

B Reply(const std::string& text, std::size_t at, std::size_t size = 64) {
    B r(size, 0);
    for (std::size_t i = 0; i < text.size() && at + i < size; ++i)
        r[at + i] = static_cast<std::uint8_t>(text[i]);
    return r;
}

TEST(InformationReply, SerialNumberScan) {
    const B r = Reply("A;B;V1;SN77;X;", 6);
    EXPECT_EQ(ScanSerialNumber(r.data(), r.size(), 6), "SN77");
    const B two = Reply("A;B;V1", 6);
    EXPECT_EQ(ScanSerialNumber(two.data(), two.size(), 6), "");
    // No fourth separator before 62: the text runs to offset 60.
    const B open = Reply("A;B;C;" + std::string(60, 'x'), 6);
    EXPECT_EQ(ScanSerialNumber(open.data(), open.size(), 6), std::string(49, 'x'));
    // A reply that stops short loses none of its text.
    const B shortReply = Reply("A;B;C;SN", 6, 14);
    EXPECT_EQ(ScanSerialNumber(shortReply.data(), shortReply.size(), 6), "SN");
}

TEST(InformationReply, MainVersionScan) {
    B r = Reply("A;B;V2.1;SN;", 6);
    r[1] = 40;
    EXPECT_EQ(ScanMainVersion(r.data(), r.size()), "V2.1");
    B one = Reply("A;V2.1", 6);
    one[1] = 40;
    EXPECT_EQ(ScanMainVersion(one.data(), one.size()), "");
    // Byte 1 bounds the scan; a negative one reads nothing.
    B bounded = Reply("A;B;V2.1;", 6);
    bounded[1] = 12;
    EXPECT_EQ(ScanMainVersion(bounded.data(), bounded.size()), "V2");
    bounded[1] = 0x90;
    EXPECT_EQ(ScanMainVersion(bounded.data(), bounded.size()), "");
}

}  // namespace
