// The real backends against stand-ins for what they talk to: a loopback stream peer in place
// of the simulator, and a small sysfs tree with a FIFO in place of a printing-class device.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>

#include "framework/message_box.h"
#include "link/link_buffers.h"
#include "link/usb_backend.h"
#include "link/usb_link.h"
#include "link/usb_open_failure.h"
#include "link/usb_port_name.h"
#include "link/usb_sim_transport.h"
#include "platform/process.h"
#include "tests/support/usb_sim_peer.h"

namespace fs = std::filesystem;

namespace {

// A private folder of the test; empty when none could be made (the test then fails).
fs::path MakeTempDir() {
    std::string reason;
    const std::optional<fs::path> dir = platform::MakePrivateTempFolder("pellacor-link-", reason);
    EXPECT_TRUE(dir) << reason;
    return dir.value_or(fs::path());
}

class SimulatedUsbBackendTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_dir = MakeTempDir();
        ASSERT_FALSE(m_dir.empty());
        m_portFile = (m_dir / "laminator").string();
        m_device = std::make_unique<UsbSimPeer>(m_portFile);
        ASSERT_TRUE(m_device->Ok()) << m_device->Error();
        SetUsbBackends({MakeSimulatedUsbBackend(m_portFile, UsbClass::Hid)});
        CloseUsbLink();
        DefaultMessageBoxRecorder().Clear();
    }
    void TearDown() override {
        CloseUsbLink();
        ResetUsbBackends();
        m_device.reset();
        if (!m_dir.empty())
            fs::remove_all(m_dir);
        DefaultMessageBoxRecorder().Clear();
    }
    UsbSimSocket& Peer() { return m_device->peer; }
    void Reply(std::uint8_t tag) {
        std::uint8_t frame[64] = {0xA5, 0x3E, tag};
        ASSERT_TRUE(Peer().Send(frame, sizeof frame, std::chrono::seconds(1)));
    }
    // The frame as it goes on the stream, for a test that cuts or joins frames itself.
    void SendRaw(const std::vector<std::uint8_t>& bytes) {
        ASSERT_TRUE(Peer().SendBytes(bytes.data(), bytes.size(), std::chrono::seconds(1)));
    }

    fs::path m_dir;
    std::string m_portFile;
    std::unique_ptr<UsbSimPeer> m_device;
};

TEST_F(SimulatedUsbBackendTest, ListedOnlyWhilePluggedInAndOnlyForItsClass) {
    auto hid = MakeSimulatedUsbBackend(m_portFile, UsbClass::Hid);
    auto printer = MakeSimulatedUsbBackend(m_portFile, UsbClass::Printer);
    EXPECT_EQ(*hid->Enumerate(UsbClass::Hid),
              std::vector<std::string>{"sim#vid_5314&pid_0001#" + m_portFile});
    EXPECT_TRUE(hid->Enumerate(UsbClass::Printer)->empty());
    EXPECT_EQ(*printer->Enumerate(UsbClass::Printer),
              std::vector<std::string>{"simlp#vid_5314&pid_0002#" + m_portFile});
    EXPECT_EQ(hid->Open("hid#vid_5314&pid_0001#/dev/hidraw0"), nullptr);
    EXPECT_TRUE(ProbeHidLaminator());

    fs::remove(m_portFile);  // the simulator's "unplug"
    EXPECT_TRUE(hid->Enumerate(UsbClass::Hid)->empty());
    EXPECT_FALSE(ProbeHidLaminator());
}

TEST_F(SimulatedUsbBackendTest, AFileLeftByASimulatorThatHasGoneListsNothing) {
    auto hid = MakeSimulatedUsbBackend(m_portFile, UsbClass::Hid);
    m_device->StopListening();
    ASSERT_TRUE(fs::exists(m_portFile));
    EXPECT_TRUE(hid->Enumerate(UsbClass::Hid)->empty());
    EXPECT_FALSE(ProbeHidLaminator());
    std::error_code why;
    EXPECT_EQ(hid->Open("sim#vid_5314&pid_0001#" + m_portFile, why), nullptr);
    EXPECT_TRUE(why);

    for (const char* text : {"", "port\n", "0\n", "65536\n", "12a\n", "99999999999999\n"}) {
        std::ofstream(m_portFile, std::ios::trunc) << text;
        EXPECT_EQ(ReadUsbSimPortFile(m_portFile), std::nullopt) << text;
        EXPECT_TRUE(hid->Enumerate(UsbClass::Hid)->empty()) << text;
    }
}

TEST_F(SimulatedUsbBackendTest, EachFrameIsOneMessageAndEachReadOneReply) {
    ASSERT_EQ(OpenHidLink(), 1);
    ASSERT_TRUE(m_device->AcceptLatest());

    EncodeCommand("a53e1c72490100000000");
    TxLength = 64;
    ASSERT_EQ(UsbWrite(), 64);
    std::uint8_t received[256];
    ASSERT_EQ(Peer().Receive(received, sizeof received, std::chrono::seconds(5)), 64);
    EXPECT_EQ(std::memcmp(received, TxBuffer.data(), 64), 0);

    // Two replies to one request: the extra one is drained before the next request.
    Reply(0x01);
    Reply(0x02);
    ASSERT_TRUE(ReadUsbReply());
    EXPECT_EQ(RxBuffer[2], 0x01);
    ASSERT_EQ(UsbWrite(), 64);
    ASSERT_EQ(Peer().Receive(received, sizeof received, std::chrono::seconds(5)), 64);
    Reply(0x03);
    ASSERT_TRUE(ReadUsbReply());
    EXPECT_EQ(RxBuffer[2], 0x03);
    EXPECT_TRUE(DefaultMessageBoxRecorder().Texts().empty());

    m_device->peer = UsbSimSocket();
    EXPECT_FALSE(ReadUsbReply());
    EXPECT_EQ(DefaultMessageBoxRecorder().Count(), 2u);
}

TEST_F(SimulatedUsbBackendTest, FramesCutOrJoinedOnTheStreamArriveAsTheirMessages) {
    auto hid = MakeSimulatedUsbBackend(m_portFile, UsbClass::Hid);
    std::unique_ptr<UsbDevice> device = hid->Open("sim#vid_5314&pid_0001#" + m_portFile);
    ASSERT_NE(device, nullptr);
    ASSERT_TRUE(m_device->AcceptLatest());
    const std::uint8_t first[] = {1, 2, 3};
    const std::uint8_t second[] = {4, 5};
    std::vector<std::uint8_t> both = UsbSimFrame(first, sizeof first);
    const std::vector<std::uint8_t> next = UsbSimFrame(second, sizeof second);
    both.insert(both.end(), next.begin(), next.end());
    std::uint8_t got[64];

    SendRaw(both);  // two frames in one send
    ASSERT_EQ(device->Read(got, sizeof got, std::chrono::seconds(5)), 3);
    EXPECT_EQ(got[2], 3);
    ASSERT_EQ(device->Read(got, sizeof got, std::chrono::seconds(5)), 2);
    EXPECT_EQ(got[1], 5);

    // A frame split inside its header and again inside its bytes: nothing until it is whole.
    SendRaw({both.begin(), both.begin() + 2});
    EXPECT_EQ(device->Read(got, sizeof got, std::chrono::milliseconds(0)), 0);
    SendRaw({both.begin() + 2, both.begin() + 5});
    EXPECT_EQ(device->Read(got, sizeof got, std::chrono::milliseconds(0)), 0);
    SendRaw({both.begin() + 5, both.begin() + 7});
    ASSERT_EQ(device->Read(got, sizeof got, std::chrono::seconds(5)), 3);
    EXPECT_EQ(got[0], 1);

    // A message longer than the reader asked for is cut, as a report would be.
    ASSERT_TRUE(Peer().Send(first, sizeof first, std::chrono::seconds(1)));
    EXPECT_EQ(device->Read(got, 1, std::chrono::seconds(5)), 1);
    EXPECT_EQ(device->Read(got, sizeof got, std::chrono::milliseconds(0)), 0);
}

TEST_F(SimulatedUsbBackendTest, ALengthBeyondTheBoundOrACloseMidFrameIsADeviceGone) {
    auto hid = MakeSimulatedUsbBackend(m_portFile, UsbClass::Hid);
    const std::string name = "sim#vid_5314&pid_0001#" + m_portFile;
    std::uint8_t got[64];
    {
        std::error_code why;
        UsbSimSocket device = UsbSimSocket::Connect(m_device->Port(), why);
        ASSERT_TRUE(device.Valid());
        ASSERT_TRUE(m_device->AcceptLatest());
        // 4 GiB announced: refused at once, never waited for nor allocated.
        SendRaw({0xFF, 0xFF, 0xFF, 0xFF, 1, 2, 3});
        EXPECT_EQ(device.Receive(got, sizeof got, std::chrono::seconds(5)), -1);
        EXPECT_TRUE(device.Refused());
        EXPECT_NE(device.Error().find("4294967295 bytes"), std::string::npos) << device.Error();
        // The stream is out of step for good, even when good frames follow.
        ASSERT_TRUE(Peer().Send(got, 8, std::chrono::seconds(1)));
        EXPECT_EQ(device.Receive(got, sizeof got, std::chrono::seconds(1)), -1);
    }
    {
        std::unique_ptr<UsbDevice> device = hid->Open(name);
        ASSERT_NE(device, nullptr);
        ASSERT_TRUE(m_device->AcceptLatest());
        SendRaw({0, 0, 0x04, 0x01});  // one byte beyond the largest message
        EXPECT_EQ(device->Read(got, sizeof got, std::chrono::seconds(5)), -1);
    }
    {
        std::unique_ptr<UsbDevice> device = hid->Open(name);
        ASSERT_NE(device, nullptr);
        ASSERT_TRUE(m_device->AcceptLatest());
        SendRaw({0, 0, 0, 64, 0xA5, 0x3E});
        EXPECT_EQ(device->Read(got, sizeof got, std::chrono::milliseconds(0)), 0);
        m_device->peer = UsbSimSocket();
        EXPECT_EQ(device->Read(got, sizeof got, std::chrono::seconds(5)), -1);
        EXPECT_EQ(device->Read(got, sizeof got, std::chrono::seconds(5)), -1);
    }
}

TEST(UsbSimFrameReader, TakesEveryWholeMessageAndHoldsTheRest) {
    UsbSimFrameReader reader;
    const std::uint8_t a[] = {7};
    const std::vector<std::uint8_t> frame = UsbSimFrame(a, 1);
    for (std::uint8_t byte : frame) {
        EXPECT_EQ(reader.Take(), std::nullopt);
        reader.Feed(&byte, 1);
    }
    EXPECT_EQ(reader.Take(), std::vector<std::uint8_t>{7});
    EXPECT_FALSE(reader.MidFrame());

    const std::uint8_t empty[] = {0, 0, 0, 0};
    reader.Feed(empty, sizeof empty);
    EXPECT_EQ(reader.Take(), std::nullopt);
    EXPECT_TRUE(reader.Failed());
    reader.Feed(frame.data(), frame.size());
    EXPECT_EQ(reader.Take(), std::nullopt);
}

TEST(PrinterClassUsbBackend, ListsLpEntriesWithTheirDeviceIdsInNumberOrder) {
#ifdef _WIN32
    GTEST_SKIP() << "the printing class is listed by SetupAPI on Windows: the sysfs tree and the "
                    "FIFO of this test stand in for Linux's device nodes only";
#else
    const fs::path root = MakeTempDir();
    ASSERT_FALSE(root.empty());
    const fs::path devices = root / "devices";
    const fs::path classDir = root / "class";
    const fs::path devDir = root / "dev";
    fs::create_directories(classDir);
    fs::create_directories(devDir);
    auto plug = [&](const std::string& lp, const std::string& usbDevice, const char* vid,
                    const char* pid) {
        const fs::path device = devices / usbDevice;
        const fs::path entry = device / (usbDevice + ":1.0") / "usbmisc" / lp;
        fs::create_directories(entry);
        if (vid != nullptr) {
            std::ofstream(device / "idVendor") << vid << "\n";
            std::ofstream(device / "idProduct") << pid << "\n";
        }
        fs::create_directory_symlink(entry, classDir / lp);
    };
    plug("lp10", "1-3", "04b8", "0005");
    plug("lp2", "1-2", "5314", "0002");
    plug("lp3", "1-4", nullptr, nullptr);  // no ids anywhere above it: not listed
    fs::create_directory(classDir / "hiddev0");

    auto backend = MakePrinterClassUsbBackend(classDir.string(), devDir.string());
    const std::vector<std::string> expected{
        "usblp#vid_5314&pid_0002#" + (devDir / "lp2").string(),
        "usblp#vid_04b8&pid_0005#" + (devDir / "lp10").string()};
    EXPECT_EQ(*backend->Enumerate(UsbClass::Printer), expected);
    EXPECT_TRUE(backend->Enumerate(UsbClass::Hid)->empty());
    EXPECT_TRUE(MakePrinterClassUsbBackend((root / "absent").string(), devDir.string())
                    ->Enumerate(UsbClass::Printer)
                    ->empty());

    // A FIFO stands in for the device node: what is written comes back, and an empty one
    // times out with nothing read instead of waiting forever.
    ASSERT_EQ(mkfifo((devDir / "lp2").c_str(), 0600), 0);
    EXPECT_EQ(backend->Open(expected[1]), nullptr);  // no node
    auto device = backend->Open(expected[0]);
    ASSERT_NE(device, nullptr);
    const std::uint8_t frame[4] = {0x1C, 0x72, 0x49, 0x01};
    EXPECT_EQ(device->Write(frame, sizeof frame, std::chrono::milliseconds(500)), 4);
    std::uint8_t back[2] = {};
    EXPECT_EQ(device->Read(back, sizeof back, std::chrono::milliseconds(500)), 2);
    EXPECT_EQ(back[1], 0x72);
    device->DrainStale(TraceLink::Printer);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(device->Read(back, sizeof back, std::chrono::milliseconds(100)), 0);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(90));
    device.reset();
    fs::remove_all(root);
#endif
}

// The node is everything after the kind and the ids: a Windows interface path keeps its own
// '#', and every place that names or opens a node agrees on it.
TEST(InterfaceNames, TheNodeIsEverythingAfterTheIds) {
    const std::string windowsPath =
        R"(\\?\hid#vid_5314&pid_0001#7&1f2b3c4d&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030})";
    const struct {
        std::string listed;
        std::string node;
    } cases[] = {
        {"hid#vid_5314&pid_0001#/dev/hidraw3", "/dev/hidraw3"},
        {"usblp#vid_5314&pid_0002#/dev/usb/lp0", "/dev/usb/lp0"},
        {InterfaceName("hid", 0x5314, 1, windowsPath), windowsPath},
        {"hid#vid_5314&pid_0001#", ""},
        {"/dev/hidraw3", "/dev/hidraw3"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(NodeOfInterfaceName(c.listed), c.node) << c.listed;
        EXPECT_EQ(OpenFailureOf(c.listed, {}).node, c.node) << c.listed;
    }
    EXPECT_EQ(InterfaceNode(InterfaceName("hid", 0x5314, 1, windowsPath), "hid"), windowsPath);
    EXPECT_EQ(InterfaceNode(InterfaceName("hid", 0x5314, 1, windowsPath), "usblp"), std::nullopt);
    EXPECT_EQ(UsbInterfaceLabel(InterfaceName("hid", 0x5314, 1, windowsPath), "/nonexistent"),
              "(" + windowsPath + ")");
}

}  // namespace
