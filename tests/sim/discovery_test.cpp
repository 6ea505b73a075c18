// The discovery and configuration protocol as the simulator answers it.

#include <gtest/gtest.h>

#include <set>

#include "sim/simulator.h"
#include "tests/sim/sim_client.h"

using namespace simtest;
using pellacor::sim::SimOptions;
using pellacor::sim::Simulator;

namespace {

Bytes Login() {
    return Hex("746976656c00746976656c00");
}

Bytes Request(uint8_t command, const Bytes& mac, const Bytes& payload = {},
              const Bytes& login = Login()) {
    Bytes b = {0xFF, 0, command};
    b.insert(b.end(), mac.begin(), mac.end());
    b.insert(b.end(), login.begin(), login.end());
    b.insert(b.end(), payload.begin(), payload.end());
    b[1] = static_cast<uint8_t>(b.size() + 1 - 3);
    b.push_back(0);
    b.back() = UdpSum(b);
    return b;
}

class Discovery : public ::testing::Test {
  protected:
    void Start(int count) {
        SimOptions o;
        o.count = count;
        o.tcpPort = 0;
        o.udpPort = 0;
        sim = std::make_unique<Simulator>(o);
        std::string error;
        ASSERT_TRUE(sim->Start(&error)) << error;
        udp = std::make_unique<UdpClient>(sim->UdpPort());
    }
    Bytes Search() {
        udp->Send(Hex("ff010102"));
        return udp->Receive();
    }
    std::unique_ptr<Simulator> sim;
    std::unique_ptr<UdpClient> udp;
};

TEST_F(Discovery, SearchReplyLayout) {
    Start(1);
    Bytes r = Search();
    ASSERT_EQ(r.size(), 36u);
    EXPECT_EQ(r[0], 0xFF);
    EXPECT_EQ(r[1], 33);
    EXPECT_EQ(r[35], UdpSum(r));
    EXPECT_EQ(r[3] | r[4] << 8, 1);                                   // laminator ID
    EXPECT_EQ(Bytes(r.begin() + 5, r.begin() + 9), Hex("0100007f"));  // 127.0.0.1
    EXPECT_EQ(Bytes(r.begin() + 9, r.begin() + 15), Hex("0100004c5002"));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&r[19])), "LAMINATOR-01");
    EXPECT_TRUE(udp->Receive(200).empty());
}

TEST_F(Discovery, SeveralLaminatorsEachWithOwnAddressAndMac) {
    Start(3);
    std::set<Bytes> macs;
    // One search, one datagram per laminator.
    udp->Send(Hex("ff010102"));
    for (int k = 0; k < 3; ++k) {
        Bytes r = udp->Receive();
        ASSERT_EQ(r.size(), 36u);
        EXPECT_EQ(r[5], k + 1);  // 127.0.0.(k+1), last octet first
        macs.insert(Bytes(r.begin() + 9, r.begin() + 15));
        EXPECT_EQ(sim->TcpHost(k), "127.0.0." + std::to_string(k + 1));
    }
    EXPECT_EQ(macs.size(), 3u);
    TcpClient third(sim->TcpHost(2), sim->TcpPort(2));
    ASSERT_TRUE(third.Ok());
    Bytes serial = third.Exchange(Block("1D5209"));
    EXPECT_NE(std::string(serial.begin(), serial.end()).find("PL24A00119"), std::string::npos);
}

TEST_F(Discovery, ReadWriteAndFinish) {
    Start(1);
    Bytes search = Search();
    Bytes mac(search.begin() + 9, search.begin() + 15);

    udp->Send(Request(0x03, mac));
    Bytes read = udp->Receive();
    ASSERT_EQ(read.size(), 69u);
    EXPECT_EQ(read[68], UdpSum(read));
    Bytes settings(read.begin() + 3, read.end() - 1);
    EXPECT_EQ(settings[0], 0x80);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&settings[15])), "LAMINATOR-01");
    EXPECT_EQ(Bytes(settings.begin() + 45, settings.begin() + 51), mac);

    settings[0] = 0x00;
    settings[6] = 10;  // first octet: 10.0.0.1
    settings[5] = 0;
    settings[4] = 0;
    settings[3] = 1;
    const std::string name = "LINE-2";
    std::fill(settings.begin() + 15, settings.begin() + 45, 0);
    std::copy(name.begin(), name.end(), settings.begin() + 15);
    udp->Send(Request(0x05, mac, settings));
    EXPECT_EQ(udp->Receive(), Hex("ff01054b"));
    udp->Send(Request(0x04, mac));
    EXPECT_EQ(udp->Receive(), Hex("ff02044b51"));

    udp->Send(Request(0x03, mac));
    Bytes again = udp->Receive();
    EXPECT_EQ(Bytes(again.begin() + 3, again.end() - 1), settings);
    Bytes s2 = Search();
    EXPECT_EQ(Bytes(s2.begin() + 5, s2.begin() + 9), Hex("0100000a"));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&s2[19])), "LINE-2");
}

TEST_F(Discovery, BadRequestsGetNoReply) {
    Start(1);
    Bytes search = Search();
    Bytes mac(search.begin() + 9, search.begin() + 15);
    udp->Send(Request(0x03, mac, {}, Hex("746976656c00 746976656c01")));  // wrong login
    EXPECT_TRUE(udp->Receive(200).empty());
    Bytes badSum = Request(0x03, mac);
    badSum.back() ^= 1;
    udp->Send(badSum);
    EXPECT_TRUE(udp->Receive(200).empty());
    udp->Send(Request(0x03, Hex("aabbccddeeff")));  // another laminator's MAC
    EXPECT_TRUE(udp->Receive(200).empty());
    Bytes shortRead = Request(0x03, mac);
    shortRead.resize(10);
    udp->Send(shortRead);
    EXPECT_TRUE(udp->Receive(200).empty());
    auto c = sim->GetCounters();
    EXPECT_EQ(c.protocolErrors, 2u);
    EXPECT_EQ(c.incomplete, 1u);
}

}  // namespace
