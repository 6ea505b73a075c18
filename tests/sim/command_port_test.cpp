// The simulated laminator's replies over TCP and USB, checked byte for byte against the
// layouts the tool reads (offsets written out here, not taken from any encoder).

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <random>
#include <thread>

#include "sim/laminator_engine.h"
#include "sim/simulator.h"
#include "tests/sim/sim_client.h"

using namespace simtest;
using pellacor::sim::LaminatorState;
using pellacor::sim::SimOptions;
using pellacor::sim::Simulator;

namespace {

class CommandPort : public ::testing::Test {
  protected:
    void SetUp() override {
        SimOptions o;
        o.tcpPort = 0;
        o.udp = false;
        o.usbPath = TempPath("hid");
        o.printerPath = TempPath("lp");
        sim = std::make_unique<Simulator>(o);
        std::string error;
        ASSERT_TRUE(sim->Start(&error)) << error;
        // Fixed temperatures, so status checks do not depend on timing.
        sim->UpdateState(0, [](LaminatorState& s) { s.heatingRatePerSecond = 0; });
        tcp = std::make_unique<TcpClient>(sim->TcpHost(0), sim->TcpPort(0));
        ASSERT_TRUE(tcp->Ok());
    }
    Bytes Tcp(const std::string& hex) { return tcp->Exchange(Block(hex)); }

    std::unique_ptr<Simulator> sim;
    std::unique_ptr<TcpClient> tcp;
};

TEST_F(CommandPort, ParameterSetupPagesCarryEveryFieldAtItsOffset) {
    sim->UpdateState(0, [](LaminatorState& s) {
        s.params.laminateMenu = 5;
        s.params.motorType = 0;
        s.params.blackMark = 0;
        s.params.autoReleaseTime = 7;
        s.params.filmPosition = -50;  // CE FF
        s.params.blackMarkSpeed = 33;
        s.params.endPosition = 800;  // 20 03
        s.params.feedSpeed = 29;
        s.params.cardSpeed = 25;
        s.params.temperatureByte = 0x23;  // 185 degrees
        s.params.laminateToCard = -100;   // 9C FF
    });
    Bytes p5002 = Tcp("1c72500200000000");
    ASSERT_EQ(p5002.size(), 64u);
    EXPECT_EQ(p5002[25], 5);
    EXPECT_EQ(p5002[28], 0);
    EXPECT_EQ(p5002[19], 0);

    Bytes p4d10 = Tcp("1c724d1000000000");
    EXPECT_EQ(p4d10[11], 7);
    EXPECT_EQ(p4d10[16], 0xCE);
    EXPECT_EQ(p4d10[17], 0xFF);
    EXPECT_EQ(p4d10[18], 33);
    EXPECT_EQ(p4d10[20], 0x20);
    EXPECT_EQ(p4d10[21], 0x03);
    EXPECT_EQ(p4d10[22], 29);

    Bytes p4801 = Tcp("1c72480100000000");
    EXPECT_EQ(p4801[10], 25);
    EXPECT_EQ(p4801[11], 0x23);

    Bytes p5001 = Tcp("1c72500100000000");
    EXPECT_EQ(p5001[18], 0x9C);
    EXPECT_EQ(p5001[19], 0xFF);
}

TEST_F(CommandPort, LaminatorAndInterfaceSetupPages) {
    Bytes p5001 = Tcp("1c72500100000000");
    EXPECT_EQ(p5001[9], 1);    // buzzer open
    EXPECT_EQ(p5001[11], 60);  // power save 2
    EXPECT_EQ(p5001[14], 15);  // power save 1
    Bytes p5002 = Tcp("1c72500200000000");
    EXPECT_EQ(p5002[10], 2);    // English
    EXPECT_EQ(p5002[13], 128);  // contrast
    EXPECT_EQ(p5002[16], 1);    // backlight open

    Bytes i0 = Tcp("1c72450000000000");
    EXPECT_EQ(i0[9], 1);      // laminator ID
    EXPECT_EQ(i0[11], 0x80);  // static
    // 127.0.0.1 with the highest offset first.
    EXPECT_EQ(Bytes(i0.begin() + 13, i0.begin() + 17), Hex("0100007f"));
    EXPECT_EQ(Bytes(i0.begin() + 18, i0.begin() + 22), Hex("0100007f"));  // gateway
    EXPECT_EQ(Bytes(i0.begin() + 23, i0.begin() + 27), Hex("000000ff"));  // 255.0.0.0
    Bytes i1 = Tcp("1c72450100000000");
    // 02:50:4c:00:00:01 with the highest offset first.
    EXPECT_EQ(Bytes(i1.begin() + 9, i1.begin() + 15), Hex("0100004c5002"));
    EXPECT_EQ(Bytes(i1.begin() + 23, i1.begin() + 27), Hex("1e000000"));  // 30
}

TEST_F(CommandPort, CountersBootVersionAndModelId) {
    Bytes c = Tcp("1c72490100000000");
    EXPECT_EQ(Bytes(c.begin() + 9, c.begin() + 12), Hex("d20400"));   // 1234
    EXPECT_EQ(Bytes(c.begin() + 13, c.begin() + 16), Hex("9c0400"));  // 1180
    Bytes b = Tcp("1c72490200000000");
    EXPECT_EQ(Bytes(b.begin() + 12, b.begin() + 16), Hex("01000a13"));
    Bytes m = Tcp("1C72810000000000");
    ASSERT_EQ(m[4] | m[5] << 8, 7);
    EXPECT_EQ(std::string(m.begin() + 6, m.begin() + 13), "PLC-200");
    sim->UpdateState(0, [](LaminatorState& s) { s.modelId.clear(); });
    Bytes empty = Tcp("1C72810000000000");
    EXPECT_EQ(empty[4] | empty[5] << 8, 0);
}

// The tool's two scans: serial between the third and fourth ";" from offset 6 (below 62),
// main version between the second and third from offset 5 below byte 1.
std::string Field(const Bytes& r, size_t from, size_t limit, int index) {
    std::string out;
    int count = 0;
    for (size_t i = from; i < limit && i < r.size(); ++i) {
        if (r[i] == ';') {
            if (++count > index) {
                return out;
            }
        } else if (count == index) {
            out.push_back(static_cast<char>(r[i]));
        }
    }
    return {};
}

TEST_F(CommandPort, InformationReplyOverTcpAndUsb) {
    Bytes info = Tcp("1D5209");
    ASSERT_EQ(info.size(), 64u);
    EXPECT_EQ(Field(info, 6, 62, 3), "PL24A00117");
    EXPECT_EQ(Field(info, 5, info[1], 2), "V2.10.3");

    UsbClient usb(sim->UsbPath(0));
    ASSERT_TRUE(usb.Ok());
    usb.Send(Frame("1D5209"));
    Bytes f1 = usb.Receive();
    Bytes f2 = usb.Receive();
    ASSERT_EQ(f1.size(), 64u);
    ASSERT_EQ(f2.size(), 64u);
    EXPECT_EQ(f1[0], 0xA5);
    EXPECT_EQ(f1[1], 62);  // announces the continuation frame
    EXPECT_EQ(f2[0], 0xA5);
    EXPECT_LT(f2[1], 62);
    EXPECT_EQ(Field(f1, 8, 62, 3), "PL24A00117");
    EXPECT_EQ(Field(f1, 5, f1[1], 2), "V2.10.3");
    EXPECT_TRUE(usb.Receive(100).empty());  // exactly two frames
}

TEST_F(CommandPort, UsbRepliesSitTwoBytesLaterInOneFrame) {
    sim->UpdateState(0, [](LaminatorState& s) {
        s.params.laminateMenu = 6;
        s.cardBits = 0x05;
    });
    UsbClient usb(sim->UsbPath(0));
    usb.Send(Frame("1c72500200000000"));
    Bytes r = usb.Receive();
    ASSERT_EQ(r.size(), 64u);
    EXPECT_EQ(r[0], 0xA5);
    EXPECT_LT(r[1], 62);  // a single frame: no continuation announced
    EXPECT_EQ(r[27], 6);
    usb.Send(Frame("1C72810000000000", 0x08));
    Bytes m = usb.Receive();
    EXPECT_EQ(m[6] | m[7] << 8, 7);
    EXPECT_EQ(std::string(m.begin() + 8, m.begin() + 15), "PLC-200");
    usb.Send(Frame("1B650000080000000000000000000000"));
    EXPECT_EQ(usb.Receive()[34], 0x05);
    EXPECT_TRUE(usb.Receive(100).empty());
}

TEST_F(CommandPort, WritesChangeLaterReads) {
    Bytes w = Block("1c77500220000000");
    w[23] = 'L';
    w[24] = 'M';
    w[25] = 2;
    EXPECT_EQ(tcp->Exchange(w).size(), 64u);
    EXPECT_EQ(Tcp("1c72500200000000")[25], 2);

    Bytes t = Block("1c77480120000000");
    t[8] = 'N';
    t[10] = 30;
    t[11] = 0xCE;  // 100 degrees
    t[24] = 'N';
    t[25] = 0x01;
    tcp->Exchange(t);
    Bytes r = Tcp("1c72480100000000");
    EXPECT_EQ(r[10], 30);
    EXPECT_EQ(r[11], 0xCE);

    // Over USB the same block follows A5 3E.
    UsbClient usb(sim->UsbPath(0));
    Bytes iface = Frame("1c77450020000000");
    const char* tags = "IFSGM";
    const size_t at[] = {8, 10, 12, 17, 22};
    for (int i = 0; i < 5; ++i) {
        iface[at[i] + 2] = static_cast<uint8_t>(tags[i]);
    }
    iface[11] = 9;     // ID
    iface[13] = 0x00;  // dynamic
    Bytes ip = Hex("1401a8c0");
    std::copy(ip.begin(), ip.end(), iface.begin() + 15);
    usb.Send(iface);
    EXPECT_EQ(usb.Receive().size(), 64u);
    LaminatorState s = sim->State(0);
    EXPECT_EQ(s.params.laminatorId, 9);
    EXPECT_EQ(s.network.IpMethod(), 0);
    EXPECT_EQ(s.network.Ip(), (std::array<uint8_t, 4>{192, 168, 1, 20}));
}

TEST_F(CommandPort, WriteWithWrongTagsIsIgnoredAndFlagged) {
    Bytes w = Block("1c77500220000000");
    w[23] = 'L';
    w[24] = 'X';  // should be 'M'
    w[25] = 4;
    EXPECT_EQ(tcp->Exchange(w).size(), 64u);  // still answered
    EXPECT_EQ(sim->State(0).params.laminateMenu, 0);
    EXPECT_EQ(sim->GetCounters().protocolErrors, 1u);

    Bytes none = Block("1c77500120000000");  // no tags at all
    tcp->Exchange(none);
    EXPECT_EQ(sim->GetCounters().protocolErrors, 2u);

    // Ethernet leaves the auto-release tags out when unchanged; the rest still applies.
    Bytes fw = Block("1c774d1020000000");
    fw[12] = 'F';
    fw[13] = 'W';
    fw[22] = 11;
    fw[26] = 'F';
    fw[27] = 'W';
    tcp->Exchange(fw);
    EXPECT_EQ(sim->State(0).params.feedSpeed, 11);
    EXPECT_EQ(sim->State(0).params.autoReleaseTime, 3);
    EXPECT_EQ(sim->GetCounters().protocolErrors, 2u);
}

TEST_F(CommandPort, ResetRestoresDefaultsAndGetsNoReply) {
    sim->UpdateState(0, [](LaminatorState& s) {
        s.params.lcdContrast = 3;
        s.params.powerSave1 = 0;
        s.serial = "KEEP-ME";
    });
    tcp->Send(Hex("1d1a1b1c1d4d4f4445011d02401d1a1b1c1d4d4f444502"));  // 23 bytes
    EXPECT_TRUE(tcp->Read(1, 200).empty());
    LaminatorState s = sim->State(0);
    EXPECT_EQ(s.params, sim->FactoryState(0).params);
    EXPECT_EQ(s.serial, "KEEP-ME");  // identity is no parameter
    EXPECT_FALSE(sim->BracketOpen(0));
    // The next 8-byte status query is not swallowed by the reset.
    EXPECT_EQ(tcp->Exchange(Hex("1c41500100000000"))[0], 0x1C);
}

TEST_F(CommandPort, ModelNameRoundTripInsideTheBracket) {
    const std::string open = "1d1a1b1c1d4d4f444501";
    const std::string close = "1d1a1b1c1d4d4f444502";
    tcp->Send(Block(open));
    tcp->Send(Block("1d0202414243"));  // name ABC
    tcp->Send(Block(close));
    EXPECT_TRUE(tcp->Read(1, 200).empty());
    EXPECT_EQ(sim->State(0).modelName, "ABC");

    UsbClient usb(sim->UsbPath(0));
    usb.Send(Frame(open));
    usb.Send(Frame("1D0303"));
    Bytes r = usb.Receive();
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(r.data() + 2)), "ABC");
    usb.Send(Frame(close, 0x0A));
    EXPECT_TRUE(usb.Receive(150).empty());
    EXPECT_FALSE(sim->BracketOpen(0));
    EXPECT_EQ(sim->GetCounters().mixedBracket, 0u);
}

// A host that is gone never closes its bracket: the bracket goes with its link.
TEST_F(CommandPort, ABracketEndsWithTheLinkItWasOpenedOn) {
    {
        UsbClient usb(sim->UsbPath(0));
        usb.Send(Frame("1d1a1b1c1d4d4f444501"));
        EXPECT_TRUE(usb.Receive(100).empty());
        EXPECT_TRUE(sim->BracketOpen(0));
    }
    for (int i = 0; i < 100 && sim->BracketOpen(0); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_FALSE(sim->BracketOpen(0));
    UsbClient again(sim->UsbPath(0));
    again.Send(Frame("1c41500100000000"));
    EXPECT_EQ(again.Receive().size(), 64u);
    EXPECT_EQ(sim->GetCounters().mixedBracket, 0u);
}

// Another host's link closing (a USB client that goes while a TCP client is inside its
// bracket) must not end that bracket: its item and closing frame are no protocol errors.
TEST_F(CommandPort, ABracketOutlivesTheCloseOfAnotherLink) {
    tcp->Send(Block("1d1a1b1c1d4d4f444501"));
    for (int i = 0; i < 100 && !sim->BracketOpen(0); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_TRUE(sim->BracketOpen(0));
    {
        UsbClient usb(sim->UsbPath(0));
        usb.Send(Frame("1c41500100000000"));
        EXPECT_EQ(usb.Receive().size(), 64u);
    }
    UsbClient printer(sim->PrinterPath(0));
    sim->UnplugUsb(0);  // the device and every link through it go
    std::string error;
    ASSERT_TRUE(sim->ReplugUsb(0, &error)) << error;
    EXPECT_TRUE(sim->BracketOpen(0));
    EXPECT_FALSE(Tcp("1D0303").empty());  // the model name, inside the bracket
    tcp->Send(Block("1d1a1b1c1d4d4f444502"));
    Tcp("1c72500200000000");
    EXPECT_FALSE(sim->BracketOpen(0));
    EXPECT_EQ(sim->GetCounters().protocolErrors, 0u);
}

// The same at the laminator itself, with no thread in between.
TEST(LaminatorEngineLinks, ABracketAndAFirmwareTransferBelongToTheirLink) {
    using pellacor::sim::LaminatorEngine;
    LaminatorEngine engine(0, pellacor::sim::DefaultState(0, {127, 0, 0, 1}));
    const LaminatorEngine::LinkId tcp = LaminatorEngine::NewLinkId();
    const LaminatorEngine::LinkId usb = LaminatorEngine::NewLinkId();
    Bytes open = Block("1d1a1b1c1d4d4f444501");
    engine.HandleBlock(open.data(), open.size(), tcp);
    engine.LinkClosed(usb);
    EXPECT_TRUE(engine.BracketOpen());
    Bytes item = Block("1D0303");
    EXPECT_EQ(engine.HandleBlock(item.data(), item.size(), tcp).flag, pellacor::sim::Flag::None);
    engine.LinkClosed(tcp);
    EXPECT_FALSE(engine.BracketOpen());

    // A firmware block over one link; another link's close does not end the transfer.
    Bytes block(64, 0x53);
    engine.PrinterFirmwareBlock(block.data(), block.size(), usb);
    engine.LinkClosed(tcp);
    EXPECT_FALSE(engine.Firmware().complete);
    engine.LinkClosed(usb);
    EXPECT_TRUE(engine.Firmware().complete);
}

TEST_F(CommandPort, TextItemsChangeSerialAndModelId) {
    UsbClient usb(sim->UsbPath(0));
    Bytes serial = Frame("1D1A1B1C1D4D4F4445011D0204");
    const std::string sn = "SN-777";
    std::copy(sn.begin(), sn.end(), serial.begin() + 15);
    usb.Send(serial);
    usb.Send(Frame("1D1A1B1C1D4D4F444502"));
    Bytes id = Frame("1d1a1b1c1d4d4f4445011D0213", 0x1E);
    id[15] = 'X';
    id[16] = '9';
    usb.Send(id);
    usb.Send(Frame("1d1a1b1c1d4d4f444502", 0x0A));
    EXPECT_TRUE(usb.Receive(150).empty());  // none of the four gets a reply
    EXPECT_EQ(sim->State(0).serial, "SN-777");
    EXPECT_EQ(sim->State(0).modelId, "X9");
    EXPECT_EQ(Field(Tcp("1D5209"), 6, 62, 3), "SN-777");
}

TEST_F(CommandPort, CommandInsideAnOpenBracketIsFlaggedAsMixed) {
    tcp->Send(Block("1d1a1b1c1d4d4f444501"));
    EXPECT_EQ(Tcp("1c72500200000000").size(), 64u);  // answered, but flagged
    tcp->Send(Block("1d1a1b1c1d4d4f444502"));
    Tcp("1c72500200000000");  // after the close: fine
    EXPECT_EQ(sim->GetCounters().mixedBracket, 1u);
    bool found = false;
    for (const auto& f : sim->Frames()) {
        found = found || f.flag == pellacor::sim::Flag::MixedBracket;
    }
    EXPECT_TRUE(found);
}

TEST_F(CommandPort, StatusReportsTemperaturesAndCodes) {
    sim->UpdateState(0, [](LaminatorState& s) {
        s.environmentTemp = 2345;
        s.rollerTemp = 9999;
        s.errorOverride = true;
        s.errorCode = 0x45000401;
    });
    Bytes r = tcp->Exchange(Hex("1c41500100000000"));  // 8 bytes, as the poller sends it
    ASSERT_EQ(r.size(), 64u);
    EXPECT_EQ(r[10] | r[11] << 8, 2345);
    EXPECT_EQ(r[18] | r[19] << 8, 9999);
    EXPECT_EQ(Bytes(r.begin() + 20, r.begin() + 24), Hex("4d000101"));  // still heating
    EXPECT_EQ(Bytes(r.begin() + 28, r.begin() + 32), Hex("45000401"));
    sim->UpdateState(0, [](LaminatorState& s) { s.rollerTemp = s.SetPoint(); });
    r = tcp->Exchange(Hex("1c41500100000000"));
    EXPECT_EQ(Bytes(r.begin() + 20, r.begin() + 24), Hex("4d000201"));  // ready
}

TEST_F(CommandPort, RollerMovesTowardsItsSetPoint) {
    sim->UpdateState(0, [](LaminatorState& s) {
        s.rollerTemp = 2000;
        s.heatingRatePerSecond = 10000;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    Bytes r = tcp->Exchange(Hex("1c41500100000000"));
    int t = r[18] | r[19] << 8;
    EXPECT_GT(t, 2000);
    EXPECT_LE(t, 15000);  // never past the 150-degree set point
}

TEST_F(CommandPort, ModeSwitchIsFramedOverTcpAndAnswered) {
    Bytes r = tcp->Exchange(Frame("1C778000080000000200000000000000"));
    ASSERT_EQ(r.size(), 64u);
    EXPECT_EQ(r[0], 0xA5);
    EXPECT_EQ(sim->State(0).ejectMode, 2);
}

TEST_F(CommandPort, UnknownCommandGetsShortReplyAndIsCounted) {
    Bytes r = Tcp("1c99000000000000");
    EXPECT_EQ(r[0], 0x15);
    UsbClient usb(sim->UsbPath(0));
    usb.Send(Frame("1c4150", 0x03));  // typed short command: unknown, one reply
    EXPECT_EQ(usb.Receive()[2], 0x15);
    // A typed command of 63 bytes: two frames, one reply after the last.
    Bytes first = Frame("1b00");
    usb.Send(first);
    EXPECT_TRUE(usb.Receive(150).empty());
    usb.Send(Frame("77", 0x01));
    EXPECT_EQ(usb.Receive()[2], 0x15);
    EXPECT_EQ(sim->GetCounters().unknownCommands, 3u);
}

TEST_F(CommandPort, IncompleteRequestsAreFlagged) {
    tcp->Send(Hex("1c725002"));  // stalls mid-block
    EXPECT_TRUE(tcp->Read(1, 500).empty());
    EXPECT_EQ(sim->GetCounters().incomplete, 1u);
    UsbClient usb(sim->UsbPath(0));
    usb.Send(Hex("a53e1c72"));  // a HID message must be 64 bytes
    EXPECT_TRUE(usb.Receive(150).empty());
    EXPECT_EQ(sim->GetCounters().incomplete, 2u);
}

TEST_F(CommandPort, FirmwareFramesAreCollected) {
    Bytes file(100);
    for (size_t i = 0; i < file.size(); ++i) {
        file[i] = static_cast<uint8_t>('0' + i % 10);
    }
    file[0] = 'S';
    UsbClient usb(sim->UsbPath(0));
    Bytes f1 = {0xA5, 0x3E};
    f1.insert(f1.end(), file.begin(), file.begin() + 62);
    Bytes f2 = {0xA5, 38};
    f2.insert(f2.end(), file.begin() + 62, file.end());
    f2.resize(64, 0);
    usb.Send(f1);
    usb.Send(f2);
    EXPECT_TRUE(usb.Receive(150).empty());
    auto fw = sim->Firmware(0);
    EXPECT_TRUE(fw.complete);
    EXPECT_EQ(fw.bytes, 100u);
    EXPECT_EQ(fw.data, file);
    EXPECT_EQ(fw.crc32, pellacor::sim::Crc32(file.data(), file.size()));
    // A status query right after is a command again, not firmware.
    usb.Send(Frame("1c41500100000000"));
    EXPECT_EQ(usb.Receive()[2], 0x1C);
}

TEST_F(CommandPort, AUsbFrameLongerThanAnyMessageIsRefusedAndOnlyItsConnectionCloses) {
    UsbClient other(sim->UsbPath(0));
    UsbClient usb(sim->UsbPath(0));
    ASSERT_TRUE(usb.Ok() && other.Ok());
    usb.SendRaw(Hex("00100000a53e1c41"));  // a megabyte announced
    EXPECT_TRUE(usb.Gone(30000));          // closed: the stream is out of step for good
    EXPECT_EQ(sim->GetCounters().protocolErrors, 1u);
    other.Send(Frame("1c41500100000000"));
    EXPECT_EQ(other.Receive().size(), 64u);
}

TEST_F(CommandPort, UsbUnplugRemovesTheSocketAndReplugRestoresIt) {
    auto usb = std::make_unique<UsbClient>(sim->UsbPath(0));
    ASSERT_TRUE(usb->Ok());
    EXPECT_TRUE(sim->UnplugUsb(0));
    EXPECT_NE(::access(sim->UsbPath(0).c_str(), F_OK), 0);
    EXPECT_NE(::access(sim->PrinterPath(0).c_str(), F_OK), 0);  // one cable, both interfaces
    usb->Send(Frame("1c41500100000000"));
    EXPECT_TRUE(usb->Receive(200).empty());
    std::string error;
    ASSERT_TRUE(sim->ReplugUsb(0, &error)) << error;
    UsbClient again(sim->UsbPath(0));
    ASSERT_TRUE(again.Ok());
    again.Send(Frame("1c41500100000000"));
    EXPECT_EQ(again.Receive().size(), 64u);
    UsbClient lp(sim->PrinterPath(0));
    EXPECT_TRUE(lp.Ok());
}

}  // namespace

namespace {

TEST(PrinterClassDevice, PingIsAnsweredAndFirmwareBlocksAreNot) {
    SimOptions o;
    o.tcp = false;
    o.udp = false;
    o.printerPath = TempPath("printer");
    Simulator sim(o);
    std::string error;
    ASSERT_TRUE(sim.Start(&error)) << error;
    UsbClient lp(sim.PrinterPath(0));
    ASSERT_TRUE(lp.Ok());
    lp.Send(Hex("1c724d1000000000"));  // the 8-byte group ping, unframed
    Bytes r = lp.Receive();
    ASSERT_FALSE(r.empty());
    EXPECT_EQ(Bytes(r.begin(), r.begin() + 4), Hex("1c724d10"));
    Bytes block(64, 'S');
    lp.Send(block);
    lp.Send(block);
    EXPECT_TRUE(lp.Receive(150).empty());
    EXPECT_EQ(sim.Firmware(0).bytes, 128u);
}

TEST(PrinterClassDevice, FirmwareBlocksAreDataWhateverTheirBytes) {
    SimOptions o;
    o.tcp = false;
    o.udp = false;
    o.printerPath = TempPath("printer-random");
    Simulator sim(o);
    std::string error;
    ASSERT_TRUE(sim.Start(&error)) << error;
    UsbClient lp(sim.PrinterPath(0));
    ASSERT_TRUE(lp.Ok());
    // 1 MiB of arbitrary bytes from a fixed seed, with blocks that look like framed commands
    // (the reset, a status query) and one like the 8-byte ping's start.
    std::mt19937 random(20261209);
    Bytes file(1 << 20);
    for (uint8_t& b : file)
        b = static_cast<uint8_t>(random());
    const Bytes reset = Hex("a53e1d1a1b1c1d4d4f4445011d02401d1a1b1c1d4d4f444502");
    const Bytes status = Hex("a53e1c41500100000000");
    std::fill_n(file.begin() + 64, 128, 0);
    std::copy(reset.begin(), reset.end(), file.begin() + 64);
    std::copy(status.begin(), status.end(), file.begin() + 128);
    file[192] = 0x1C;
    for (std::size_t at = 0; at < file.size(); at += 64)
        ASSERT_TRUE(lp.Send(Bytes(file.begin() + static_cast<std::ptrdiff_t>(at),
                                  file.begin() + static_cast<std::ptrdiff_t>(at + 64))));
    for (int i = 0; i < 1000 && sim.Firmware(0).bytes < file.size(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(lp.Receive(50).empty());  // nothing was answered as a command
    const pellacor::sim::FirmwareCapture got = sim.Firmware(0);
    ASSERT_EQ(got.data.size(), file.size());
    EXPECT_TRUE(got.data == file);
}

}  // namespace

namespace {

TEST(FrameLog, RecordsEveryFrameWithTransportAndWritesJsonLines) {
    SimOptions o;
    o.tcpPort = 0;
    o.udp = false;
    o.logFile = TempPath("log.jsonl");
    std::remove(o.logFile.c_str());
    Simulator sim(o);
    std::string error;
    ASSERT_TRUE(sim.Start(&error)) << error;
    TcpClient tcp(sim.TcpHost(0), sim.TcpPort(0));
    Bytes status = Hex("1c41500100000000");
    ASSERT_EQ(tcp.Exchange(status).size(), 64u);
    auto frames = sim.Frames();
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].transport, pellacor::sim::Transport::Tcp);
    EXPECT_EQ(frames[0].direction, pellacor::sim::Direction::Received);
    EXPECT_EQ(frames[0].bytes, status);
    EXPECT_EQ(frames[1].direction, pellacor::sim::Direction::Sent);
    EXPECT_LT(frames[0].sequence, frames[1].sequence);
    sim.Stop();
    std::ifstream in(o.logFile);
    std::string line;
    ASSERT_TRUE(std::getline(in, line));
    EXPECT_NE(line.find("\"transport\":\"tcp\""), std::string::npos);
    EXPECT_NE(line.find("\"bytes\":\"1c41500100000000\""), std::string::npos);
    EXPECT_NE(line.find("\"dir\":\"rx\""), std::string::npos);
    std::remove(o.logFile.c_str());
}

}  // namespace
