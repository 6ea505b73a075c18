// The network settings dialog: the byte mapping in both directions, the device name, and
// OK refused while an Ethernet connection is open. The laminator is written here from the
// frame tables and records every request.
#include <gtest/gtest.h>

#include "netsetup/net_config.h"
#include "netsetup/net_settings.h"
#include "netsetup/net_settings_record.h"
#include "platform/sockets.h"
#include "tests/netsetup/net_dialog_fixture.h"
#include "tests/netsetup/udp_peer.h"

using namespace netsetup_test;

namespace {
NetSettings RecordWith(std::uint8_t method, const char* ipBytes) {
    NetSettings s{};
    for (std::size_t i = 0; i < s.size(); ++i)
        s[i] = static_cast<std::uint8_t>(0xA0 + i);  // bytes the dialog does not interpret
    s[0] = method;
    const Bytes ip = Hex(ipBytes);
    std::copy(ip.begin(), ip.end(), s.begin() + 3);
    const char name[] = "Desk\0garbage";
    std::copy(name, name + sizeof name - 1, s.begin() + 15);
    return s;
}

class SettingsDialogTest : public NetDialogTest {
  protected:
    // A laminator that answers the read with `record` and acknowledges writes.
    void Read(const NetSettings& record) {
        m_record = record;
        peer = std::make_unique<UdpPeer>([this](const Bytes& q) -> std::vector<Bytes> {
            if (q.size() < 3)
                return {};
            if (q[2] == 0x03) {
                Bytes r = {0xFF, 66, 0x03};
                r.insert(r.end(), m_record.begin(), m_record.end());
                r.push_back(0);
                return {r};
            }
            if (q[2] == 0x05) {
                if (writeAnswer == WriteAnswer::None)
                    return {};
                return {Hex(writeAnswer == WriteAnswer::Wrong ? "ff01054c" : "ff01054b")};
            }
            if (q[2] == 0x04)
                return {Hex("ff02044b51")};
            return {};
        });
        discovery = std::make_unique<CNetDiscovery>(peer->Target());
        CurrentDiscovery.store(discovery.get());
        // The row the search listed: the record's MAC, from the peer's address.
        FoundLaminator row;
        std::copy(record.begin() + 45, record.begin() + 51, row.reply.begin() + 9);
        row.address = peer->Target().address;
        ASSERT_EQ(discovery->ReadConfig(row), kNetSuccess);
        cfg = std::make_unique<CNetConfig>(&host);
        host.Open(*cfg);
    }
    // The write waits for the acknowledgements on a worker.
    void PressOk() {
        Click(*cfg, IDOK);
        ASSERT_TRUE(host.PumpUntil([&] { return !cfg->IsWriting(); }, std::chrono::seconds(10)));
    }
    std::vector<Bytes> Writes() {
        std::vector<Bytes> out;
        for (const Bytes& q : peer->Requests())
            if (q.size() > 2 && (q[2] == 0x05 || q[2] == 0x04))
                out.push_back(q);
        return out;
    }
    NetSettings Written() {
        const auto w = Writes();
        NetSettings s{};
        if (!w.empty() && w[0].size() == 87)
            std::copy(w[0].begin() + 21, w[0].begin() + 86, s.begin());
        return s;
    }
    void TearDown() override {
        cfg.reset();
        CurrentDiscovery.store(nullptr);
        discovery.reset();
        peer.reset();
        NetDialogTest::TearDown();
    }

    enum class WriteAnswer { Right, Wrong, None };
    std::atomic<WriteAnswer> writeAnswer{WriteAnswer::Right};
    NetSettings m_record{};
    std::unique_ptr<UdpPeer> peer;
    std::unique_ptr<CNetDiscovery> discovery;
    std::unique_ptr<CNetConfig> cfg;
};
}  // namespace

TEST_F(SettingsDialogTest, ShowsTheRecordAndWritesItBackUnchanged) {
    const NetSettings record = RecordWith(0x80, "6400a8c0");
    Read(record);
    EXPECT_EQ(cfg->m_ipMethod->ItemText(0), "Dynamic");
    EXPECT_EQ(cfg->m_ipMethod->ItemText(1), "Static");
    EXPECT_EQ(cfg->m_ipMethod->GetSelection(), 1);
    EXPECT_EQ(cfg->m_staticIp->GetFields(), (std::array<int, 4>{192, 168, 0, 100}));
    EXPECT_EQ(cfg->m_gateway->GetFields(), (std::array<int, 4>{0xAA, 0xA9, 0xA8, 0xA7}));
    EXPECT_EQ(cfg->m_subnetMask->GetFields(), (std::array<int, 4>{0xAE, 0xAD, 0xAC, 0xAB}));
    EXPECT_EQ(cfg->Item(kIdDeviceName).GetText(), "Desk");
    PressOk();
    EXPECT_EQ(host.LastEndResult(), IDOK);
    ASSERT_TRUE(peer->WaitForRequests(3));
    const auto writes = Writes();
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(Written(), record);  // the name area too, bytes after its zero included
    // Both requests name the laminator by the MAC in the record.
    for (const Bytes& w : writes)
        EXPECT_EQ(Bytes(w.begin() + 3, w.begin() + 9),
                  Bytes(record.begin() + 45, record.begin() + 51));
    EXPECT_EQ(writes[1][2], 0x04);
}

TEST_F(SettingsDialogTest, MethodByte) {
    Read(RecordWith(0x01, "01020304"));
    EXPECT_EQ(cfg->m_ipMethod->GetText(), "Static");
    PressOk();
    ASSERT_TRUE(peer->WaitForRequests(3));
    EXPECT_EQ(Written()[0], 0x80);

    Read(RecordWith(0x00, "01020304"));
    EXPECT_EQ(cfg->m_ipMethod->GetText(), "Dynamic");
    cfg->m_ipMethod->SetText("static");  // typed: only exactly "Static" is static
    PressOk();
    ASSERT_TRUE(peer->WaitForRequests(3));
    EXPECT_EQ(Written()[0], 0x00);
}

TEST_F(SettingsDialogTest, AddressFieldsMapLastOctetFirst) {
    Read(RecordWith(0x80, "6400a8c0"));
    cfg->m_staticIp->SetFields({-1, -1, -1, -1});  // cleared
    cfg->m_subnetMask->SetFields({255, 255, 255, -1});
    cfg->m_gateway->SetFields({10, 20, 30, 400});
    PressOk();
    ASSERT_TRUE(peer->WaitForRequests(3));
    const NetSettings w = Written();
    EXPECT_EQ(Bytes(w.begin() + 3, w.begin() + 7), Hex("00000000"));
    EXPECT_EQ(Bytes(w.begin() + 11, w.begin() + 15), Hex("00ffffff"));
    EXPECT_EQ(Bytes(w.begin() + 7, w.begin() + 11), Hex("ff1e140a"));
}

TEST_F(SettingsDialogTest, AnEditedNameIsStoredAndATooLongOneRefused) {
    Read(RecordWith(0x80, "6400a8c0"));
    cfg->Item(kIdDeviceName).SetText(std::string(30, 'n'));
    PressOk();
    EXPECT_EQ(Boxes(), std::vector<std::string>{std::string(kMsgNameTooLong)});
    EXPECT_EQ(host.LastEndResult(), 0);
    EXPECT_TRUE(Writes().empty());

    cfg->Item(kIdDeviceName).SetText(std::string(29, 'n'));
    PressOk();
    EXPECT_EQ(host.LastEndResult(), IDOK);
    ASSERT_TRUE(peer->WaitForRequests(3));
    NetSettings w = Written();
    EXPECT_EQ(SettingsName(w), std::string(29, 'n'));
    EXPECT_EQ(w[44], 0);

    Read(RecordWith(0x80, "6400a8c0"));
    cfg->Item(kIdDeviceName).SetText("Line 2");
    PressOk();
    ASSERT_TRUE(peer->WaitForRequests(3));
    w = Written();
    Bytes area(30, 0);
    std::copy_n("Line 2", 6, area.begin());
    EXPECT_EQ(Bytes(w.begin() + 15, w.begin() + 45), area);  // the text, then zeros
}

TEST_F(SettingsDialogTest, OkWithAnOpenConnectionOnlyAsksToDisconnect) {
    Read(RecordWith(0x80, "6400a8c0"));
    // A socket that stands for an open connection.
    platform::Socket connection(platform::OpenSocket(platform::SocketKind::Stream));
    ASSERT_TRUE(connection.Valid());
    EthernetSocket.store(connection.Get());
    cfg->m_staticIp->SetFields({1, 2, 3, 4});
    PressOk();
    EXPECT_EQ(Boxes(), std::vector<std::string>{"Disconnect before modification"});
    EXPECT_EQ(host.LastEndResult(), 0);
    EXPECT_TRUE(Writes().empty());
    EXPECT_EQ(discovery->m_settings, m_record);
    // A failed attempt (-1) is no connection.
    connection.Reset();
    EthernetSocket.store(-1);
    PressOk();
    EXPECT_EQ(host.LastEndResult(), IDOK);
}

TEST(NetSettingsMapping, NameAreaIsBounded) {
    NetSettings s{};
    std::fill(s.begin(), s.end(), 'x');  // no zero byte anywhere
    EXPECT_EQ(SettingsName(s), std::string(30, 'x'));
    EXPECT_FALSE(StoreSettingsName(s, std::string(30, 'y')));
    EXPECT_EQ(s[15], 'x');
    EXPECT_TRUE(StoreSettingsName(s, ""));
    EXPECT_EQ(SettingsName(s), "");
    EXPECT_EQ(s[45], 'x');  // the MAC after the area is untouched
}

TEST_F(SettingsDialogTest, AWriteNotAcknowledgedSaysSoAndKeepsWhatWasTyped) {
    const struct {
        WriteAnswer answer;
        const char* message;
    } cases[] = {
        {WriteAnswer::Wrong,
         "Writing the network settings failed: the laminator's acknowledgement was wrong."},
        {WriteAnswer::None, "Writing the network settings failed: the laminator did not answer."},
    };
    // What the service record is told: each try, with what was read and what was sent.
    std::vector<NetSettingsDone> told;
    SetNetSettingsObserver([&told](const NetSettingsDone& d) { told.push_back(d); });
    for (const auto& c : cases) {
        DefaultMessageBoxRecorder().Clear();
        told.clear();
        const NetSettings asRead = RecordWith(0x80, "6400a8c0");
        Read(asRead);
        writeAnswer = c.answer;
        cfg->Item(kIdDeviceName).SetText("Line 7");
        cfg->m_gateway->SetFields({10, 0, 0, 1});
        PressOk();
        EXPECT_EQ(Boxes(), std::vector<std::string>{c.message});
        ASSERT_EQ(told.size(), 1u);
        EXPECT_EQ(told[0].kind, NetSettingsDone::Kind::Write);
        EXPECT_NE(told[0].result, kNetSuccess);
        EXPECT_EQ(told[0].message, c.message);
        EXPECT_EQ(told[0].settings, asRead);
        EXPECT_EQ(SettingsName(told[0].sent), "Line 7");
        EXPECT_EQ(told[0].mac, "d2:d1:d0:cf:ce:cd");
        EXPECT_NE(host.LastEndResult(), IDOK);  // still open
        EXPECT_EQ(cfg->Item(kIdDeviceName).GetText(), "Line 7");
        EXPECT_EQ(cfg->m_gateway->GetFields(), (std::array<int, 4>{10, 0, 0, 1}));
        EXPECT_TRUE(cfg->Item(IDOK).IsEnabled());
        EXPECT_TRUE(cfg->Item(IDCANCEL).IsEnabled());
        // No finishing command after a write the laminator did not take.
        for (const Bytes& w : Writes())
            EXPECT_NE(w[2], 0x04);
        // The laminator takes the second try: now the dialog closes.
        writeAnswer = WriteAnswer::Right;
        DefaultMessageBoxRecorder().Clear();
        PressOk();
        EXPECT_TRUE(Boxes().empty());
        EXPECT_EQ(host.LastEndResult(), IDOK);
        EXPECT_EQ(Writes().back()[2], 0x04);
        ASSERT_EQ(told.size(), 2u);
        EXPECT_EQ(told[1].result, kNetSuccess);
        EXPECT_EQ(told[1].message, "");
        EXPECT_EQ(told[1].sent, Written());
        host.EndDialog(*cfg, 0);  // the next case starts from an open dialog
    }
    SetNetSettingsObserver({});
}
