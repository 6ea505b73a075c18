#include "link/usb_link.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "fake_usb_backend.h"
#include "framework/message_box.h"
#include "link/frame_trace.h"
#include "link/link_buffers.h"

namespace {

const std::string kLaminator = "hid#vid_5314&pid_0001#/dev/hidraw7";
const std::string kSecondLaminator = "hid#vid_5314&pid_0001#/dev/hidraw8";

std::string OtherHid(int n) {
    return "hid#vid_046d&pid_c52b#/dev/hidraw" + std::to_string(n);
}

Bytes Frame(std::uint8_t tag) {
    Bytes frame(64, 0);
    frame[0] = 0xA5;
    frame[1] = 0x3E;
    frame[2] = tag;
    return frame;
}

std::vector<std::string> Messages() {
    return DefaultMessageBoxRecorder().Texts();
}

class UsbLinkTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_backend = std::make_shared<FakeUsbBackend>();
        SetUsbBackends({m_backend});
        CloseUsbLink();
        DefaultMessageBoxRecorder().Clear();
    }
    void TearDown() override {
        CloseUsbLink();
        ResetUsbBackends();
        DefaultMessageBoxRecorder().Clear();
    }
    void ListHid(std::vector<std::string> paths) { m_backend->lists[UsbClass::Hid] = paths; }
    void EncodeFrame() {
        EncodeCommand("a53e1c72490100000000");
        TxLength = 64;
    }

    std::shared_ptr<FakeUsbBackend> m_backend;
};

TEST_F(UsbLinkTest, NoLaminatorOpensNothingAndProbeIsSilent) {
    ListHid({OtherHid(0), OtherHid(1)});
    EXPECT_FALSE(ProbeHidLaminator());
    EXPECT_TRUE(Messages().empty());
    EXPECT_EQ(OpenHidLink(), 0);
    EXPECT_EQ(Messages(), std::vector<std::string>{"No conforming device!"});
    EXPECT_TRUE(m_backend->opened.empty());

    DefaultMessageBoxRecorder().Clear();
    m_backend->lists[UsbClass::Hid] = std::nullopt;
    EXPECT_FALSE(ProbeHidLaminator());
    EXPECT_EQ(OpenHidLink(), 0);
    EXPECT_EQ(Messages(), std::vector<std::string>{"Usb port not available!"});
}

TEST_F(UsbLinkTest, LaminatorAfterTenOtherInterfacesIsFound) {
    std::vector<std::string> paths;
    for (int i = 0; i < 12; ++i) {
        paths.push_back(OtherHid(i));
    }
    paths.push_back(kLaminator);
    ListHid(paths);
    EXPECT_TRUE(ProbeHidLaminator());
    EXPECT_EQ(OpenHidLink(), 1);
    EXPECT_TRUE(Messages().empty());
    EXPECT_EQ(m_backend->opened, std::vector<std::string>{kLaminator});
    EXPECT_GT(UsbHandleTable()[0], 0);
}

TEST_F(UsbLinkTest, VendorIdMatchIgnoresCaseAndNeedsBothIds) {
    const std::string lower = "hid#vid_5314&pid_0001#/dev/hidraw1";
    const std::string upper = "HID#VID_5314&PID_0001#/dev/hidraw2";
    const std::string pidOnly = "hid#vid_1234&pid_5314#/dev/hidraw3";
    const std::string noPid = "hid#vid_5314#/dev/hidraw4";
    ListHid({pidOnly, noPid, lower, upper});
    EXPECT_EQ(OpenHidLink(), 1);
    EXPECT_EQ(m_backend->opened, (std::vector<std::string>{lower, upper}));

    ListHid({pidOnly, noPid});
    EXPECT_FALSE(ProbeHidLaminator());

    std::string vid;
    std::string pid;
    EXPECT_FALSE(ParseVidPid(noPid, vid, pid));
    ASSERT_TRUE(ParseVidPid("pid_00aa then vid_5314", vid, pid));
    EXPECT_EQ(vid, "5314");
    EXPECT_EQ(pid, "00AA");
    // Far past the old 260-byte work area, and ids cut short by the end of the path.
    const std::string longPath = std::string(5000, 'x') + "vid_5314&pid_12";
    ASSERT_TRUE(ParseVidPid(longPath, vid, pid));
    EXPECT_EQ(vid, "5314");
    EXPECT_EQ(pid, "12");
}

TEST_F(UsbLinkTest, TwoLaminatorsAreBothWrittenAndTheSecondReplyIsKept) {
    ListHid({kLaminator, kSecondLaminator});
    m_backend->Device(kLaminator)->replies.push_back(Frame(0x11));
    m_backend->Device(kSecondLaminator)->replies.push_back(Bytes(30, 0x22));
    ASSERT_EQ(OpenHidLink(), 1);
    const auto table = UsbHandleTable();
    EXPECT_GT(table[0], 0);
    EXPECT_GT(table[1], 0);
    EXPECT_NE(table[0], table[1]);
    EXPECT_EQ(table[2], -1);

    EncodeFrame();
    EXPECT_EQ(UsbWrite(), 64);
    const Bytes sent(TxBuffer.begin(), TxBuffer.begin() + 64);
    EXPECT_EQ(m_backend->Device(kLaminator)->written, std::vector<Bytes>{sent});
    EXPECT_EQ(m_backend->Device(kSecondLaminator)->written, std::vector<Bytes>{sent});

    EXPECT_TRUE(ReadUsbReply());
    EXPECT_EQ(RxBuffer[0], 0x22);
    EXPECT_EQ(RxBuffer[29], 0x22);
    EXPECT_EQ(RxBuffer[30], 0x00);  // the first, longer reply was cleared away
    EXPECT_TRUE(Messages().empty());
}

TEST_F(UsbLinkTest, AnUnopenableLaminatorTakesAClosedSlotAndStillCountsAsOpened) {
    ListHid({kLaminator, kSecondLaminator});
    m_backend->unopenable = {kLaminator};
    EXPECT_EQ(OpenHidLink(), 1);
    EXPECT_EQ(UsbHandleTable()[0], -1);
    EXPECT_GT(UsbHandleTable()[1], 0);
    EXPECT_TRUE(Messages().empty());
}

TEST_F(UsbLinkTest, PrinterClassOpensEveryInterfaceUpToTenSlots) {
    std::vector<std::string> paths;
    for (int i = 0; i < 12; ++i) {
        paths.push_back("usblp#vid_04b8&pid_0005#/dev/usb/lp" + std::to_string(i));
    }
    m_backend->lists[UsbClass::Printer] = paths;
    EXPECT_EQ(OpenPrinterClassLink(), 1);
    EXPECT_EQ(m_backend->opened.size(), 10u);
    const auto table = UsbHandleTable();
    EXPECT_TRUE(std::all_of(table.begin(), table.end(), [](int h) { return h > 0; }));

    CloseUsbLink();
    m_backend->lists[UsbClass::Printer] = std::vector<std::string>{};
    EXPECT_EQ(OpenPrinterClassLink(), 0);
    EXPECT_EQ(Messages(), std::vector<std::string>{"No conforming device!"});
}

TEST_F(UsbLinkTest, CloseUsbLinkClosesEveryDeviceAndMarksEverySlotClosed) {
    ListHid({kLaminator});
    ASSERT_EQ(OpenHidLink(), 1);
    EXPECT_EQ(CloseUsbLink(), 1);
    EXPECT_TRUE(m_backend->Device(kLaminator)->closed);
    const auto table = UsbHandleTable();
    EXPECT_TRUE(std::all_of(table.begin(), table.end(), [](int h) { return h == -1; }));
    EXPECT_EQ(CloseUsbLink(), 1);
}

TEST_F(UsbLinkTest, WritesWithoutAnythingToSendSendNothing) {
    EncodeFrame();
    EXPECT_EQ(UsbWrite(), 0);  // no open slot
    EXPECT_TRUE(Messages().empty());

    ListHid({kLaminator});
    ASSERT_EQ(OpenHidLink(), 1);
    EncodeCommand("1c G1");
    EXPECT_EQ(UsbWrite(), 0);
    TxLength = 0;
    EXPECT_EQ(UsbWrite(), 0);
    EXPECT_TRUE(m_backend->Device(kLaminator)->written.empty());
    EXPECT_TRUE(Messages().empty());

    TxLength = 5000;
    EXPECT_EQ(UsbWrite(), 1024);
    EXPECT_EQ(m_backend->Device(kLaminator)->written.at(0).size(), 1024u);
}

TEST_F(UsbLinkTest, AWriteFailureStopsBeforeTheNextHandle) {
    ListHid({kLaminator, kSecondLaminator});
    ASSERT_EQ(OpenHidLink(), 1);
    m_backend->Device(kLaminator)->failWrite = true;
    EncodeFrame();
    EXPECT_EQ(UsbWrite(), 0);
    EXPECT_EQ(Messages(), std::vector<std::string>{"Send data error!"});
    EXPECT_TRUE(m_backend->Device(kSecondLaminator)->written.empty());
}

TEST_F(UsbLinkTest, ReadFailuresAndTimeOutsReportAsTheirCallersExpect) {
    // No handle at all: one message.
    EXPECT_FALSE(ReadUsbReply());
    EXPECT_EQ(Messages(), std::vector<std::string>{"Failed to receive data!"});

    // A failed device read: once from the read, once from ReadUsbReply; later handles unread.
    DefaultMessageBoxRecorder().Clear();
    ListHid({kLaminator, kSecondLaminator});
    ASSERT_EQ(OpenHidLink(), 1);
    m_backend->Device(kLaminator)->failRead = true;
    RxBuffer.fill(0x99);
    EXPECT_FALSE(ReadUsbReply());
    EXPECT_EQ(Messages(),
              (std::vector<std::string>{"Failed to receive data!", "Failed to receive data!"}));
    EXPECT_EQ(m_backend->Device(kSecondLaminator)->reads, 0);
    EXPECT_TRUE(std::all_of(RxBuffer.begin(), RxBuffer.end(), [](auto b) { return b == 0; }));

    // A read that times out delivered nothing: one message.
    DefaultMessageBoxRecorder().Clear();
    m_backend->Device(kLaminator)->failRead = false;
    EXPECT_EQ(UsbRead(), 0);
    EXPECT_TRUE(Messages().empty());
    EXPECT_FALSE(ReadUsbReply());
    EXPECT_EQ(Messages(), std::vector<std::string>{"Failed to receive data!"});
}

TEST_F(UsbLinkTest, AReplyThatCameAfterATimeOutDoesNotAnswerTheNextRequest) {
    ListHid({kLaminator});
    ASSERT_EQ(OpenHidLink(), 1);
    auto device = m_backend->Device(kLaminator);
    EncodeFrame();
    ASSERT_EQ(UsbWrite(), 64);
    EXPECT_FALSE(ReadUsbReply());          // timed out
    device->inbox.push_back(Frame(0x01));  // ... and the late reply turns up
    device->replies.push_back(Frame(0x02));
    ASSERT_EQ(UsbWrite(), 64);
    EXPECT_TRUE(ReadUsbReply());
    EXPECT_EQ(RxBuffer[2], 0x02);
}

TEST_F(UsbLinkTest, OnlyALateReplyToAnotherOwedCommandIsDiscardedAndRepliesNeedNotEcho) {
    ListHid({kLaminator});
    ASSERT_EQ(OpenHidLink(), 1);
    auto device = m_backend->Device(kLaminator);
    const std::string tracePath =
        (std::filesystem::temp_directory_path() / ("pellacor-owed-" + std::to_string(getpid())))
            .string();
    std::string error;
    ASSERT_TRUE(EnableFrameTrace(tracePath, error)) << error;
    const std::uint8_t status[] = {0x1C, 0x41, 0x50, 0x01};
    const std::uint8_t cards[] = {0x1B, 0x65};
    // A reply that repeats nothing of its request is its reply.
    device->replies.push_back(Frame(0x00));
    EncodeFrame();
    ASSERT_EQ(UsbWrite(), 64);
    EXPECT_EQ(UsbReadReplyTo(status), 64);
    // The status query goes unanswered; its reply turns up during the next query's wait.
    ASSERT_EQ(UsbWrite(), 64);
    EXPECT_EQ(UsbReadReplyTo(status), 0);
    Bytes lateStatus = Frame(0x1C);
    std::copy(std::begin(status), std::end(status), lateStatus.begin() + 2);
    device->late.push_back(lateStatus);
    Bytes cardReply = Frame(0x00);
    cardReply[34] = 0x05;
    device->replies.push_back(cardReply);
    ASSERT_EQ(UsbWrite(), 64);
    EXPECT_EQ(UsbReadReplyTo(cards), 64);
    EXPECT_EQ(RxBuffer[34], 0x05);
    // That debt is paid: a frame starting like a status reply is no longer anyone else's.
    device->late.push_back(lateStatus);
    ASSERT_EQ(UsbWrite(), 64);
    EXPECT_EQ(UsbReadReplyTo(cards), 64);
    EXPECT_EQ(RxBuffer[3], 0x41);
    // Owed again; a raw request that is itself the status query takes a reply like it.
    ASSERT_EQ(UsbWrite(), 64);
    EXPECT_EQ(UsbReadReplyTo(status), 0);
    EncodeCommand("a53e1c41500100000000");
    TxLength = 64;
    device->replies.push_back(lateStatus);
    ASSERT_EQ(UsbWrite(), 64);
    EXPECT_EQ(UsbRead(), 64);
    DisableFrameTrace();
    std::string text;
    {
        // Closed before it goes: Windows deletes no file that is still open.
        std::ifstream trace(tracePath);
        text.assign(std::istreambuf_iterator<char>(trace), {});
    }
    std::filesystem::remove(tracePath);
    std::size_t discarded = 0;
    for (std::size_t at = 0;
         (at = text.find("late reply to an earlier request, discarded", at)) != std::string::npos;
         ++at)
        ++discarded;
    EXPECT_EQ(discarded, 1u) << text;
}

TEST_F(UsbLinkTest, MessagesWaitForTheCallersTransaction) {
    {
        LinkTransaction transaction;
        EXPECT_FALSE(ReadUsbReply());
        EXPECT_TRUE(Messages().empty());
    }
    EXPECT_EQ(Messages(), std::vector<std::string>{"Failed to receive data!"});
}

TEST_F(UsbLinkTest, CloseWaitsForAReadInFlight) {
    ListHid({kLaminator});
    ASSERT_EQ(OpenHidLink(), 1);
    auto device = m_backend->Device(kLaminator);
    device->readDelay = std::chrono::milliseconds(200);
    device->inbox.push_back(Frame(0x05));
    std::thread reader([] { ReadUsbReply(); });
    while (true) {
        std::lock_guard lock(device->mutex);
        if (device->reading) {
            break;
        }
    }
    CloseUsbLink();
    reader.join();
    EXPECT_TRUE(device->closed);
    EXPECT_FALSE(device->closedDuringRead);
}

}  // namespace

namespace {
// A backend whose listing fails (hidapi could not enumerate, sysfs could not be read).
class FailingListBackend : public UsbBackend {
  public:
    std::optional<std::vector<std::string>> Enumerate(UsbClass) override { return std::nullopt; }
    std::unique_ptr<UsbDevice> Open(const std::string&, std::error_code&) override {
        return nullptr;
    }
};
}  // namespace

TEST_F(UsbLinkTest, AFailedListingIsReportedEvenWhenAnotherBackendListsAnEmptyOne) {
    SetUsbBackends({std::make_shared<FailingListBackend>(), m_backend});
    EXPECT_EQ(OpenHidLink(), 0);
    EXPECT_EQ(OpenPrinterClassLink(), 0);
    EXPECT_EQ(Messages(),
              (std::vector<std::string>{"Usb port not available!", "Usb port not available!"}));
    // A backend with nothing to list is no failure.
    DefaultMessageBoxRecorder().Clear();
    SetUsbBackends({m_backend});
    EXPECT_EQ(OpenHidLink(), 0);
    EXPECT_EQ(Messages(), std::vector<std::string>{"No conforming device!"});
}
