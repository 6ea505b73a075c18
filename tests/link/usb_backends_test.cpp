// The real backends against stand-ins for what they talk to: a SOCK_SEQPACKET peer in place
// of the simulator, and a small sysfs tree with a FIFO in place of a printing-class device.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "framework/message_box.h"
#include "link/link_buffers.h"
#include "link/usb_backend.h"
#include "link/usb_link.h"
#include "link/usb_open_failure.h"
#include "link/usb_port_name.h"

namespace fs = std::filesystem;

namespace {

fs::path MakeTempDir() {
    char pattern[] = "/tmp/pellacor-link-XXXXXX";
    return fs::path(mkdtemp(pattern));
}

int ListenSeqpacket(const std::string& path) {
    const int fd = socket(AF_UNIX, SOCK_SEQPACKET, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    EXPECT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(listen(fd, 4), 0);
    return fd;
}

class SimulatedUsbBackendTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_dir = MakeTempDir();
        m_socketPath = (m_dir / "laminator.sock").string();
        m_listener = ListenSeqpacket(m_socketPath);
        SetUsbBackends({MakeSimulatedUsbBackend(m_socketPath, UsbClass::Hid)});
        CloseUsbLink();
        DefaultMessageBoxRecorder().Clear();
    }
    void TearDown() override {
        CloseUsbLink();
        ResetUsbBackends();
        if (m_peer >= 0) {
            close(m_peer);
        }
        close(m_listener);
        fs::remove_all(m_dir);
        DefaultMessageBoxRecorder().Clear();
    }
    void Reply(std::uint8_t tag) {
        std::uint8_t frame[64] = {0xA5, 0x3E, tag};
        ASSERT_EQ(send(m_peer, frame, sizeof frame, 0), 64);
    }

    fs::path m_dir;
    std::string m_socketPath;
    int m_listener = -1;
    int m_peer = -1;
};

TEST_F(SimulatedUsbBackendTest, ListedOnlyWhilePluggedInAndOnlyForItsClass) {
    auto hid = MakeSimulatedUsbBackend(m_socketPath, UsbClass::Hid);
    auto printer = MakeSimulatedUsbBackend(m_socketPath, UsbClass::Printer);
    EXPECT_EQ(*hid->Enumerate(UsbClass::Hid),
              std::vector<std::string>{"sim#vid_5314&pid_0001#" + m_socketPath});
    EXPECT_TRUE(hid->Enumerate(UsbClass::Printer)->empty());
    EXPECT_EQ(*printer->Enumerate(UsbClass::Printer),
              std::vector<std::string>{"simlp#vid_5314&pid_0002#" + m_socketPath});
    EXPECT_EQ(hid->Open("hid#vid_5314&pid_0001#/dev/hidraw0"), nullptr);
    EXPECT_TRUE(ProbeHidLaminator());

    unlink(m_socketPath.c_str());  // the simulator's "unplug"
    EXPECT_TRUE(hid->Enumerate(UsbClass::Hid)->empty());
    EXPECT_FALSE(ProbeHidLaminator());
}

TEST_F(SimulatedUsbBackendTest, EachFrameIsOneMessageAndEachReadOneReply) {
    ASSERT_EQ(OpenHidLink(), 1);
    m_peer = accept(m_listener, nullptr, nullptr);
    ASSERT_GE(m_peer, 0);

    EncodeCommand("a53e1c72490100000000");
    TxLength = 64;
    ASSERT_EQ(UsbWrite(), 64);
    std::uint8_t received[256];
    ASSERT_EQ(recv(m_peer, received, sizeof received, 0), 64);
    EXPECT_EQ(std::memcmp(received, TxBuffer.data(), 64), 0);

    // Two replies to one request: the extra one is drained before the next request.
    Reply(0x01);
    Reply(0x02);
    ASSERT_TRUE(ReadUsbReply());
    EXPECT_EQ(RxBuffer[2], 0x01);
    ASSERT_EQ(UsbWrite(), 64);
    ASSERT_EQ(recv(m_peer, received, sizeof received, 0), 64);
    Reply(0x03);
    ASSERT_TRUE(ReadUsbReply());
    EXPECT_EQ(RxBuffer[2], 0x03);
    EXPECT_TRUE(DefaultMessageBoxRecorder().Texts().empty());

    close(m_peer);
    m_peer = -1;
    EXPECT_FALSE(ReadUsbReply());
    EXPECT_EQ(DefaultMessageBoxRecorder().Count(), 2u);
}

TEST(PrinterClassUsbBackend, ListsLpEntriesWithTheirDeviceIdsInNumberOrder) {
    const fs::path root = MakeTempDir();
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
