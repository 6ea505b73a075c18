// The search out of every interface, on real interfaces: a namespace made here stands for
// the PC, with two virtual links to two further namespaces, one simulated laminator in each.
// The PC's default route leads to only one of them, so a broadcast out of the default route
// alone would find one laminator. Nothing leaves the namespaces this test makes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <thread>

#include "framework/headless_host.h"
#include "framework/message_box.h"
#include "link/ethernet_link.h"
#include "link/link_flags.h"
#include "netsetup/found_devices.h"
#include "netsetup/net_resources.h"
#include "netsetup/net_work.h"
#include "sim/simulator.h"

namespace {

bool Shell(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

// Runs `work` on a thread that has entered the namespace; its sockets and the threads it
// starts belong to that namespace.
bool InNamespace(const std::string& name, const std::function<void()>& work) {
    bool entered = false;
    std::thread t([&] {
        const int fd = open(("/var/run/netns/" + name).c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return;
        entered = setns(fd, CLONE_NEWNET) == 0;
        close(fd);
        if (entered)
            work();
    });
    t.join();
    return entered;
}

class NoMainWindow : public NetLinkOwner {
  public:
    bool UsbPortOpen() override { return false; }
    void CloseUsbPort() override {}
    bool AutoDetectOn() override { return false; }
    void StartNetPoller() override {}
};

class SearchOutOfEveryInterface : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::string tag = "pellacor-" + std::to_string(getpid());
        pc = tag + "-pc";
        lamA = tag + "-a";
        lamB = tag + "-b";
        if (geteuid() != 0 || !Shell("ip -V"))
            GTEST_SKIP() << "needs root and iproute2 to make network namespaces";
        if (!Shell("ip netns add " + pc))
            GTEST_SKIP() << "network namespaces are not allowed here (ip netns add failed)";
        made = true;
        const bool ok =
            Shell("ip netns add " + lamA) && Shell("ip netns add " + lamB) &&
            Shell("ip -n " + pc + " link add to-a type veth peer name eth0 netns " + lamA) &&
            Shell("ip -n " + pc + " link add to-b type veth peer name eth0 netns " + lamB) &&
            Shell("ip -n " + pc + " addr add 10.231.1.1/24 dev to-a") &&
            Shell("ip -n " + pc + " addr add 10.231.2.1/24 dev to-b") &&
            Shell("ip -n " + lamA + " addr add 10.231.1.2/24 dev eth0") &&
            Shell("ip -n " + lamB + " addr add 10.231.2.2/24 dev eth0") &&
            Shell("ip -n " + pc + " link set to-a up") &&
            Shell("ip -n " + pc + " link set to-b up") &&
            Shell("ip -n " + pc + " link set lo up") &&
            Shell("ip -n " + lamA + " link set eth0 up") &&
            Shell("ip -n " + lamB + " link set eth0 up") &&
            Shell("ip -n " + lamA + " link set lo up") &&
            Shell("ip -n " + lamB + " link set lo up") &&
            Shell("ip -n " + pc + " route add default via 10.231.1.2");
        if (!ok)
            GTEST_SKIP() << "virtual links between namespaces could not be made here";
        ASSERT_TRUE(StartLaminator(lamA, "10.231.1.2", 1, simA));
        ASSERT_TRUE(StartLaminator(lamB, "10.231.2.2", 2, simB));
        SetEthernetPort(kLaminatorTcpPort);
    }
    void TearDown() override {
        simA.reset();
        simB.reset();
        if (made) {
            Shell("ip netns del " + lamA);
            Shell("ip netns del " + lamB);
            Shell("ip netns del " + pc);
        }
        SetEthernetPort(kLaminatorTcpPort);
    }

    bool StartLaminator(const std::string& ns, const std::string& address, std::uint8_t macLow,
                        std::unique_ptr<pellacor::sim::Simulator>& sim) {
        bool started = false;
        InNamespace(ns, [&] {
            pellacor::sim::SimOptions o;
            o.tcpHost = address;
            o.tcpPort = kLaminatorTcpPort;
            o.udpHost = "0.0.0.0";  // the broadcast reaches only a socket on any address
            o.udpPort = kDiscoveryPort;
            sim = std::make_unique<pellacor::sim::Simulator>(o);
            std::string error;
            started = sim->Start(&error);
            sim->UpdateState(0, [&](pellacor::sim::LaminatorState& s) {
                s.network.SetMacWire({macLow, 0, 0, 0x4c, 0x50, 0x02});
            });
        });
        return started;
    }

    std::string pc, lamA, lamB;
    bool made = false;
    std::unique_ptr<pellacor::sim::Simulator> simA, simB;
};

}  // namespace

TEST_F(SearchOutOfEveryInterface, FindsALaminatorOnEachLinkOnceAndConnectsToEach) {
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> boxes;
    std::vector<bool> connected;
    ASSERT_TRUE(InNamespace(pc, [&] {
        HeadlessHost host;  // this thread is the window thread
        NoMainWindow owner;
        DefaultMessageBoxRecorder().Clear();
        for (int pick = 0; pick < 2; ++pick) {
            CNetWork dlg(&owner, &host);  // the default target: 255.255.255.255:1901
            host.Open(dlg);
            Event click;
            click.code = Notify::Clicked;
            click.id = kIdSearch;
            dlg.Dispatch(click);
            host.PumpUntil([&] { return !dlg.IsCollecting(); }, std::chrono::seconds(10));
            if (pick == 0) {
                for (int r = 0; r < dlg.m_deviceList->RowCount(); ++r) {
                    std::vector<std::string> cells;
                    for (int c = 0; c < 5; ++c)
                        cells.push_back(dlg.m_deviceList->GetCell(r, c));
                    rows.push_back(cells);
                }
            }
            dlg.m_deviceList->SetSelection(pick);
            click.id = kIdConnect;
            dlg.Dispatch(click);
            host.PumpUntil([&] { return !dlg.IsConnecting(); }, std::chrono::seconds(20));
            connected.push_back(EthernetSocket.load() > 0);
        }
        boxes = DefaultMessageBoxRecorder().Texts();
        CloseEthernet();
        EthernetLinkActive.store(0);
    }));
    ASSERT_EQ(rows.size(), 2u);
    std::sort(rows.begin(), rows.end(), [](const auto& x, const auto& y) { return x[4] < y[4]; });
    EXPECT_EQ(rows[0][4], "10.231.1.2");
    EXPECT_EQ(rows[1][4], "10.231.2.2");
    EXPECT_EQ(rows[0][1], "02:50:4c:00:00:01");
    EXPECT_EQ(rows[1][1], "02:50:4c:00:00:02");
    EXPECT_EQ(connected, (std::vector<bool>{true, true}));
    EXPECT_EQ(boxes,
              (std::vector<std::string>{"Connection is successful!", "Connection is successful!"}));
}
