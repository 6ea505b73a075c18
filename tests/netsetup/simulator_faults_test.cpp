// The protocol against the simulated laminators when they misbehave: no reply, a wrong
// acknowledgement, truncated and oversized datagrams.
#include <gtest/gtest.h>

#include "netsetup/net_discovery.h"
#include "netsetup/net_settings.h"
#include "sim/simulator.h"
#include "tests/netsetup/udp_peer.h"

using namespace netsetup_test;
using pellacor::sim::ParseFault;

namespace {
class SimulatorFaults : public ::testing::Test {
  protected:
    void Start(int count, const std::string& fault) {
        pellacor::sim::SimOptions o;
        o.count = count;
        o.tcp = false;
        o.udpPort = 0;
        std::string error;
        if (!fault.empty()) {
            auto f = ParseFault(fault, &error);
            ASSERT_TRUE(f) << error;
            o.faults = {*f};
        }
        sim = std::make_unique<pellacor::sim::Simulator>(o);
        ASSERT_TRUE(sim->Start(&error)) << error;
        SearchTarget t;
        t.address = 0x7F000001;
        t.port = sim->UdpPort();
        d = std::make_unique<CNetDiscovery>(t);
    }
    std::vector<SearchReply> SearchAll() {
        std::vector<SearchReply> out;
        if (d->Search() != kNetSuccess)
            return out;
        WaitIdle(*d);
        SearchReply r{};
        while (d->PopReply(r))
            out.push_back(r);
        return out;
    }
    SearchReply First() {
        SearchReply r{};
        const auto mac = sim->State(0).network.MacWire();
        std::copy(mac.begin(), mac.end(), r.begin() + 9);
        return r;
    }
    std::unique_ptr<pellacor::sim::Simulator> sim;
    std::unique_ptr<CNetDiscovery> d;
};
}  // namespace

TEST_F(SimulatorFaults, NoReply) {
    Start(2, "silent@udp");
    EXPECT_TRUE(SearchAll().empty());
    EXPECT_EQ(d->ReadConfig(First()), kNetNoReply);
    EXPECT_EQ(d->WriteConfig(First()), kNetNotRead);
}

TEST_F(SimulatorFaults, WrongAcknowledgement) {
    Start(1, "wrong-ack@udp");
    ASSERT_EQ(SearchAll().size(), 1u);
    ASSERT_EQ(d->ReadConfig(First()), kNetSuccess);
    EXPECT_EQ(d->WriteConfig(First()), kNetBadAck);
    EXPECT_EQ(d->FinishWrite(First()), kNetBadAck);
}

TEST_F(SimulatorFaults, TruncatedDatagrams) {
    Start(1, "truncate@udp");
    const auto before = sim->State(0).network.bytes;
    EXPECT_TRUE(SearchAll().empty());  // half a reply is no record
    d->m_settings.fill(0xEE);
    // 34 of 69 bytes: taken as the first 30 settings bytes, the write would have sent them
    // with 35 bytes left from before. Half a record is no reply, and nothing can be written.
    EXPECT_EQ(d->ReadConfig(First()), kNetNoReply);
    EXPECT_TRUE(std::all_of(d->m_settings.begin(), d->m_settings.end(),
                            [](std::uint8_t b) { return b == 0xEE; }));
    EXPECT_EQ(d->WriteConfig(First()), kNetNotRead);
    EXPECT_EQ(sim->State(0).network.bytes, before);
}

TEST_F(SimulatorFaults, OversizedDatagrams) {
    Start(2, "oversize@udp");
    EXPECT_TRUE(SearchAll().empty());
    EXPECT_EQ(d->DroppedReplies(), 2u);
    EXPECT_EQ(d->ReadConfig(First()), kNetNoReply);
}

TEST_F(SimulatorFaults, AHealthyRoundTrip) {
    Start(3, "");
    const auto replies = SearchAll();
    ASSERT_EQ(replies.size(), 3u);
    ASSERT_EQ(d->ReadConfig(replies[2]), kNetSuccess);
    EXPECT_EQ(SettingsName(d->m_settings), "LAMINATOR-03");
}
