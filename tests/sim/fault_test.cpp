// Every fault mode, each deterministic by request count.

#include <gtest/gtest.h>

#include <chrono>

#include "sim/simulator.h"
#include "tests/sim/sim_client.h"

using namespace simtest;
using pellacor::sim::Fault;
using pellacor::sim::ParseFault;
using pellacor::sim::SimOptions;
using pellacor::sim::Simulator;

namespace {

const Bytes kStatus = Hex("1c41500100000000");

Fault F(const std::string& text) {
    std::string error;
    auto f = ParseFault(text, &error);
    EXPECT_TRUE(f.has_value()) << error;
    return f.value_or(Fault{});
}

class Faults : public ::testing::Test {
  protected:
    void SetUp() override {
        SimOptions o;
        o.tcpPort = 0;
        o.udpPort = 0;
        o.usbPath = TempPath("fault-hid");
        sim = std::make_unique<Simulator>(o);
        std::string error;
        ASSERT_TRUE(sim->Start(&error)) << error;
    }
    std::unique_ptr<TcpClient> Connect() {
        auto c = std::make_unique<TcpClient>(sim->TcpHost(0), sim->TcpPort(0));
        EXPECT_TRUE(c->Ok());
        return c;
    }
    std::unique_ptr<Simulator> sim;
};

TEST(FaultParsing, AcceptsKindsValuesAndTransports) {
    std::string error;
    auto f = ParseFault("drop-nth=3@tcp,usb", &error);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->kind, pellacor::sim::FaultKind::DropNth);
    EXPECT_EQ(f->value, 3);
    EXPECT_TRUE(f->AppliesTo(pellacor::sim::Transport::UsbHid));
    EXPECT_FALSE(f->AppliesTo(pellacor::sim::Transport::Udp));
    EXPECT_FALSE(ParseFault("drop-nth", &error));  // needs N
    EXPECT_FALSE(ParseFault("drop-every=0", &error));
    EXPECT_FALSE(ParseFault("explode", &error));
    EXPECT_NE(error.find("unknown kind"), std::string::npos);
    EXPECT_FALSE(ParseFault("silent@serial", &error));
}

TEST_F(Faults, DropNthAndDropEvery) {
    sim->SetFaults({F("drop-nth=2@tcp")});
    auto c = Connect();
    EXPECT_EQ(c->Exchange(kStatus).size(), 64u);
    EXPECT_TRUE(c->Exchange(kStatus, 64, 200).empty());
    EXPECT_EQ(c->Exchange(kStatus).size(), 64u);
    EXPECT_EQ(sim->GetCounters().dropped, 1u);

    sim->SetFaults({F("drop-every=2@tcp")});
    int answered = 0;
    for (int i = 0; i < 6; ++i) {
        answered += c->Exchange(kStatus, 64, 200).size() == 64u;
    }
    EXPECT_EQ(answered, 3);
}

TEST_F(Faults, DelayHoldsTheReply) {
    sim->SetFaults({F("delay=250")});
    auto c = Connect();
    c->Send(kStatus);
    EXPECT_TRUE(c->Read(64, 100).empty());
    EXPECT_EQ(c->Read(64, 500).size(), 64u);
}

// Requests queued on a connection the client has left must not hold up its next one.
TEST_F(Faults, DelayedRepliesDieWithTheirConnection) {
    sim->SetFaults({F("delay=1000@tcp")});
    {
        auto old = Connect();
        for (int i = 0; i < 3; ++i)
            old->Send(kStatus);
        EXPECT_TRUE(old->Read(64, 100).empty());
    }
    sim->SetFaults({});
    auto c = Connect();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(c->Exchange(kStatus, 64, 2000).size(), 64u);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
}

TEST_F(Faults, SplitSendsTheReplyInTwoParts) {
    sim->SetFaults({F("split=10@tcp")});
    auto c = Connect();
    c->Send(kStatus);
    EXPECT_EQ(c->ReadOnce().size(), 10u);
    EXPECT_EQ(c->ReadOnce().size(), 54u);
}

TEST_F(Faults, CloseAfterN) {
    sim->SetFaults({F("close-after=2@tcp")});
    auto c = Connect();
    EXPECT_EQ(c->Exchange(kStatus).size(), 64u);
    EXPECT_EQ(c->Exchange(kStatus).size(), 64u);
    EXPECT_TRUE(c->Exchange(kStatus).empty());
    EXPECT_TRUE(c->Closed());
    // The port takes the next client.
    auto again = Connect();
    EXPECT_EQ(again->Exchange(kStatus).size(), 64u);
}

TEST_F(Faults, SilentAnswersNothingAnywhere) {
    sim->SetFaults({F("silent")});
    auto c = Connect();
    EXPECT_TRUE(c->Exchange(kStatus, 64, 200).empty());
    UsbClient usb(sim->UsbPath(0));
    usb.Send(Frame("1c41500100000000"));
    EXPECT_TRUE(usb.Receive(200).empty());
    UdpClient udp(sim->UdpPort());
    udp.Send(Hex("ff010102"));
    EXPECT_TRUE(udp.Receive(200).empty());
}

TEST_F(Faults, WrongAcknowledgements) {
    sim->SetFaults({F("wrong-ack@udp")});
    UdpClient udp(sim->UdpPort());
    udp.Send(Hex("ff010102"));
    Bytes search = udp.Receive();
    ASSERT_EQ(search.size(), 36u);
    Bytes finish = {0xFF, 0x13, 0x04};
    finish.insert(finish.end(), search.begin() + 9, search.begin() + 15);
    Bytes login = Hex("746976656c00746976656c00");
    finish.insert(finish.end(), login.begin(), login.end());
    finish.push_back(0);
    finish.back() = UdpSum(finish);
    udp.Send(finish);
    Bytes ack = udp.Receive();
    ASSERT_EQ(ack.size(), 5u);
    EXPECT_NE(ack, Hex("ff02044b51"));
}

TEST_F(Faults, TruncatedAndOversizedReplies) {
    sim->SetFaults({F("truncate")});
    UsbClient usb(sim->UsbPath(0));
    usb.Send(Frame("1c41500100000000"));
    EXPECT_EQ(usb.Receive().size(), 32u);
    UdpClient udp(sim->UdpPort());
    udp.Send(Hex("ff010102"));
    EXPECT_EQ(udp.Receive().size(), 18u);

    sim->SetFaults({F("oversize")});
    auto c = Connect();
    c->Send(kStatus);
    EXPECT_EQ(c->Read(200, 300).size(), 80u);
    udp.Send(Hex("ff010102"));
    EXPECT_EQ(udp.Receive().size(), 52u);
}

TEST_F(Faults, FaultsApplyOnlyToTheirTransport) {
    sim->SetFaults({F("silent@udp")});
    auto c = Connect();
    EXPECT_EQ(c->Exchange(kStatus).size(), 64u);
}

}  // namespace
