// Request frames byte for byte, and how a search reply's fields are listed.
#include "netsetup/net_protocol.h"

#include <gtest/gtest.h>

#include "netsetup/search_target.h"
#include "tests/netsetup/udp_peer.h"

using namespace netsetup_test;

namespace {
SearchReply ReplyOf(const Bytes& b) {
    SearchReply r{};
    std::copy(b.begin(), b.end(), r.begin());
    return r;
}
const Bytes kLogins = Hex("746976656c00 746976656c00");
}  // namespace

TEST(NetRequests, SearchIsFourBytes) {
    EXPECT_EQ(BuildSearchRequest(), Hex("ff010102"));
}

TEST(NetRequests, ReadAndFinishCarryTheReplyMacAndBothLogins) {
    SearchReply reply{};
    const Bytes mac = Hex("112233445566");
    std::copy(mac.begin(), mac.end(), reply.begin() + 9);
    for (std::uint8_t command : {std::uint8_t{0x03}, std::uint8_t{0x04}}) {
        const Bytes r = BuildAddressedRequest(command, ReplyMac(reply));
        Bytes expected = {0xFF, 0x13, command};
        expected.insert(expected.end(), mac.begin(), mac.end());
        expected.insert(expected.end(), kLogins.begin(), kLogins.end());
        unsigned sum = 0;
        for (std::size_t i = 1; i < expected.size(); ++i)
            sum += expected[i];
        expected.push_back(static_cast<std::uint8_t>(sum));
        ASSERT_EQ(r.size(), 22u);
        EXPECT_EQ(r, expected);
    }
    // The sum of the 20 bytes after FF: 13 03 11..66 and "tivel\0" twice.
    EXPECT_EQ(BuildAddressedRequest(0x03, ReplyMac(reply)).back(), 0xC3);
}

TEST(NetRequests, WriteIs87BytesWithTheSettingsAtOffset21) {
    NetSettings settings{};
    for (std::size_t i = 0; i < settings.size(); ++i)
        settings[i] = static_cast<std::uint8_t>(0xC0 + i);
    const MacBytes mac = {1, 2, 3, 4, 5, 6};
    const Bytes r = BuildWriteRequest(mac, settings);
    ASSERT_EQ(r.size(), 87u);
    EXPECT_EQ(r[0], 0xFF);
    EXPECT_EQ(r[1], 0x54);
    EXPECT_EQ(r[2], 0x05);
    EXPECT_EQ(Bytes(r.begin() + 3, r.begin() + 9), Bytes(mac.begin(), mac.end()));
    EXPECT_EQ(Bytes(r.begin() + 9, r.begin() + 21), kLogins);
    EXPECT_EQ(Bytes(r.begin() + 21, r.begin() + 86), Bytes(settings.begin(), settings.end()));
    EXPECT_EQ(r[86], Checksum(r.data(), r.size()));
    unsigned sum = 0;
    for (std::size_t i = 1; i < 86; ++i)
        sum += r[i];
    EXPECT_EQ(r[86], sum & 0xFF);
}

TEST(NetReplyCells, FieldsAreReadByPosition) {
    Bytes b(36, 0);
    const Bytes fields = Hex("0500 6400a8c0 665544332211 0201");
    std::copy(fields.begin(), fields.end(), b.begin() + 3);
    const char* name = "LAM-7   ";
    std::copy(name, name + 8, b.begin() + 19);
    const SearchReply r = ReplyOf(b);
    EXPECT_EQ(ReplyDeviceId(r), "5");
    EXPECT_EQ(ReplyIpText(r), "192.168.0.100");
    EXPECT_EQ(ReplyMacText(r), "11:22:33:44:55:66");
    EXPECT_EQ(ReplyFwBoot(r), "258");
    EXPECT_EQ(ReplyName(r), "LAM-7");
    EXPECT_EQ(ReplyMac(r), (MacBytes{0x66, 0x55, 0x44, 0x33, 0x22, 0x11}));
}

TEST(NetReplyCells, UnsignedFieldsAndANameWithoutZeroByte) {
    Bytes b(36, 0xEE);
    b[3] = 0xFF;
    b[4] = 0xFF;
    b[15] = 0xFF;
    b[16] = 0xFF;
    for (std::size_t i = 19; i < 35; ++i)
        b[i] = 'N';
    const SearchReply r = ReplyOf(b);
    EXPECT_EQ(ReplyDeviceId(r), "65535");
    EXPECT_EQ(ReplyFwBoot(r), "65535");
    EXPECT_EQ(ReplyName(r), std::string(16, 'N'));  // never into the checksum byte
    EXPECT_EQ(ReplyMacText(r), "ee:ee:ee:ee:ee:ee");
}

TEST(SearchAddress, ParsesAddressAndOptionalPort) {
    std::string error;
    auto t = ParseSearchTarget("192.168.1.255", error);
    ASSERT_TRUE(t);
    EXPECT_EQ(t->address, 0xC0A801FFu);
    EXPECT_EQ(t->port, 1901);
    t = ParseSearchTarget("127.0.0.1:4000", error);
    ASSERT_TRUE(t);
    EXPECT_EQ(t->Text(), "127.0.0.1:4000");
    EXPECT_FALSE(t->IsLimitedBroadcast());
    for (const char* bad : {"laminator", "1.2.3", "127.0.0.1:0", "127.0.0.1:70000", "1.2.3.4:x"}) {
        error.clear();
        EXPECT_FALSE(ParseSearchTarget(bad, error)) << bad;
        EXPECT_NE(error.find("--search-address"), std::string::npos) << bad;
    }
    EXPECT_TRUE(SearchTarget{}.IsLimitedBroadcast());
    EXPECT_EQ(SearchTarget{}.Text(), "255.255.255.255:1901");
}
