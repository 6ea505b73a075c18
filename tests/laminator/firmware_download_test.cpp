#include "laminator/firmware_download.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fstream>

#include "laminator/firmware_image.h"
#include "platform/process.h"
#include "platform/sockets.h"
#include "platform/tcp_delivery_count.h"
#include "sim_fixture.h"

namespace {
Bytes Counting(std::size_t n) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i)
        b[i] = static_cast<std::uint8_t>(i);
    return b;
}

// Text records like a .mot file's, so no frame could be taken for a command.
Bytes MotText(std::size_t n) {
    Bytes b;
    b.reserve(n);
    std::uint32_t x = 12345;
    while (b.size() < n) {
        x = x * 1103515245u + 12345u;
        const char* hex = "0123456789ABCDEF";
        b.push_back(b.size() % 40 == 0 ? 'S' : static_cast<std::uint8_t>(hex[(x >> 16) & 15]));
    }
    return b;
}

Bytes DataFrame(std::uint8_t count, const Bytes& file, std::size_t from) {
    Bytes frame(64, 0);
    frame[0] = 0xA5;
    frame[1] = count;
    std::copy_n(file.begin() + static_cast<std::ptrdiff_t>(from), count, frame.begin() + 2);
    return frame;
}

// What a whole download ends with: silence, or where the system does not tell what a TCP
// peer acknowledged, that every frame was sent and none confirmed.
std::vector<std::string> WholeDownloadMessages(LinkKind link, int frames) {
    if (link == LinkKind::Usb || platform::ReadTcpDeliveryCount(EthernetSocket.load()).known)
        return {};
    return {DownloadNotConfirmedText(frames, frames)};
}

}  // namespace

using FirmwareLinkTest = LinkTest;

TEST_P(FirmwareLinkTest, A124ByteFileIsTwoFullFramesAndAnEmptyLastOne) {
    const Bytes file = Counting(124);
    m_view.SetFirmware(file);
    const std::vector<std::string> whole = WholeDownloadMessages(GetParam(), 3);
    GetParam() == LinkKind::Usb ? HidDownloadWorker(&m_view) : NetDownloadWorker(&m_view);
    Bytes last(64, 0);
    last[0] = 0xA5;  // A5 00: no data bytes
    EXPECT_EQ(Requests(3),
              (std::vector<Bytes>{DataFrame(0x3E, file, 0), DataFrame(0x3E, file, 62), last}));
    const pellacor::sim::FirmwareCapture fw = m_sim->Firmware(0);
    EXPECT_TRUE(fw.complete);
    EXPECT_EQ(fw.data, file);
    EXPECT_EQ(fw.crc32, pellacor::sim::Crc32(file.data(), file.size()));
    EXPECT_EQ(Messages(), whole);  // ends silently where the count is known
}

TEST_P(FirmwareLinkTest, A100ByteFileEndsWithA26FrameAndTheStateTableHolds) {
    const Bytes file = Counting(100);
    m_view.SetFirmware(file);
    m_view.EnableButton(kIdBrowse, false);
    m_view.EnableButton(kIdActivatePort, false);
    const std::vector<std::string> whole = WholeDownloadMessages(GetParam(), 2);
    GetParam() == LinkKind::Usb ? HidDownloadWorker(&m_view) : NetDownloadWorker(&m_view);
    EXPECT_EQ(Requests(2),
              (std::vector<Bytes>{DataFrame(0x3E, file, 0), DataFrame(0x26, file, 62)}));
    EXPECT_EQ(Messages(), whole);
    EXPECT_EQ(m_sim->Firmware(0).data, file);
    EXPECT_NE(m_view.LoadedFirmware(), nullptr);  // still loaded, sent from its start again
    EXPECT_TRUE(m_view.IsButtonEnabled(kIdDownload));
    if (GetParam() == LinkKind::Usb) {
        EXPECT_TRUE(m_view.IsButtonEnabled(kIdActivatePort));
        EXPECT_TRUE(m_view.IsButtonEnabled(kIdBrowse));
        EXPECT_EQ(UsbHandleTable()[0], -1);
    } else {
        EXPECT_FALSE(m_view.IsButtonEnabled(kIdActivatePort));  // untouched
        EXPECT_FALSE(m_view.IsButtonEnabled(kIdBrowse));
        EXPECT_EQ(EthernetSocket.load(), 0);
    }
}

TEST_P(FirmwareLinkTest, ALostLinkStopsTheTransferAtTheFirstFailedFrameAndSaysSo) {
    const Bytes file = MotText(62 * 400);
    m_view.SetFirmware(file);
    if (GetParam() == LinkKind::Usb) {
        ASSERT_TRUE(m_sim->UnplugUsb(0));
        HidDownloadWorker(&m_view);
        EXPECT_EQ(Messages().back(), DownloadFailedText(1, 401));
    } else {
        // The connection drops once the laminator has taken some frames.
        std::thread drop([&] {
            Requests(50);
            platform::ShutdownConnection(EthernetSocket.load());
        });
        m_view.SetFirmware(MotText(4 << 20));
        const bool countKnown = platform::ReadTcpDeliveryCount(EthernetSocket.load()).known;
        NetDownloadWorker(&m_view);
        drop.join();
        const std::vector<std::string> messages = Messages();
        ASSERT_EQ(messages.size(), 1u);
        // Over TCP it says how much the laminator acknowledged; where nothing counts that,
        // which frame did not go out.
        EXPECT_EQ(messages[0].rfind(countKnown ? "Download failed: the laminator took only "
                                               : "Download failed: frame ",
                                    0),
                  0u)
            << messages[0];
        // No gap: what the laminator took is a leading part of the file.
        const pellacor::sim::FirmwareCapture fw = m_sim->Firmware(0);
        const std::shared_ptr<const Bytes> sent = m_view.LoadedFirmware();
        EXPECT_LT(fw.data.size(), sent->size());
        EXPECT_TRUE(std::equal(fw.data.begin(), fw.data.end(), sent->begin()));
    }
    EXPECT_TRUE(m_view.IsButtonEnabled(kIdDownload));
}

INSTANTIATE_TEST_SUITE_P(Links, FirmwareLinkTest,
                         ::testing::Values(LinkKind::Usb, LinkKind::Ethernet), LinkName);

class PrinterClassDownloadTest : public SimFixture, public ::testing::Test {
  protected:
    void SetUp() override {
        StartSim();
        SetUsbBackends({MakeSimulatedUsbBackend(m_sim->PrinterPath(0), UsbClass::Printer)});
        ASSERT_EQ(OpenPrinterClassLink(), 1);
        m_sim->ClearLog();
    }
    void TearDown() override { StopSim(); }

    // The blocks the device received, waiting briefly for `atLeast` (none is answered).
    std::vector<Bytes> Blocks(std::size_t atLeast) const {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        std::vector<Bytes> blocks;
        while ((blocks = Logged()).size() < atLeast && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return blocks;
    }
    std::vector<Bytes> Logged() const {
        std::vector<Bytes> blocks;
        for (const pellacor::sim::FrameRecord& r : m_sim->Frames()) {
            if (r.transport == pellacor::sim::Transport::UsbPrinter &&
                r.direction == pellacor::sim::Direction::Received)
                blocks.push_back(r.bytes);
        }
        return blocks;
    }
};

TEST_F(PrinterClassDownloadTest, A128ByteFileIsTwoBlocksAndAnAllZeroOne) {
    const Bytes file = Counting(128);
    m_view.SetFirmware(file);
    m_view.EnableButton(kIdBrowse, false);
    PrinterClassDownloadWorker(&m_view);
    EXPECT_EQ(Blocks(3), (std::vector<Bytes>{Bytes(file.begin(), file.begin() + 64),
                                             Bytes(file.begin() + 64, file.end()), Bytes(64, 0)}));
    EXPECT_EQ(Messages(), std::vector<std::string>{"Download successfully, please re-open!"});
    // The state table: file released, link closed, Activate Port and Browse offered again.
    EXPECT_EQ(m_view.LoadedFirmware(), nullptr);
    EXPECT_EQ(UsbHandleTable()[0], -1);
    EXPECT_TRUE(m_view.IsButtonEnabled(kIdActivatePort));
    EXPECT_TRUE(m_view.IsButtonEnabled(kIdBrowse));
}

TEST_F(PrinterClassDownloadTest, AFailedSendIsNotReportedAsSuccess) {
    CloseUsbLink();  // nothing open: no block can go out
    m_view.SetFirmware(Counting(200));
    PrinterClassDownloadWorker(&m_view);
    EXPECT_EQ(Messages(), std::vector<std::string>{DownloadFailedText(1, 4)});
    EXPECT_NE(m_view.LoadedFirmware(), nullptr);  // kept for another try
    EXPECT_TRUE(m_view.IsButtonEnabled(kIdBrowse));
}

TEST(DownloadProgress, WithStep10ThePercentRisesAtEveryTenthFrame) {
    FakeView view;
    DownloadProgress progress(view, 1000);
    for (int i = 0; i < 1000; ++i)
        progress.Advance();
    EXPECT_EQ(view.ProgressRange(), std::make_pair(0, 1000));
    EXPECT_EQ(view.GetProgressPosition(), 1000);
    const std::vector<std::string> texts = view.PercentTexts();
    ASSERT_EQ(texts.size(), 1001u);
    EXPECT_EQ(texts[0], "");    // empty before the first frame
    EXPECT_EQ(texts[1], "0%");  // position 0
    EXPECT_EQ(texts[10], "0%");
    EXPECT_EQ(texts[11], "1%");  // position 10
    EXPECT_EQ(texts[21], "2%");
    EXPECT_EQ(texts[1000], "99%");
}

TEST(DownloadProgress, ThePercentStaysWithin0To100AndReaches100OnlyAfterTheLastFrame) {
    // 3 frames (step 0), 199 (step 1: once 198%), 1999 (once 105%), a 10 KB file over HID.
    for (const int frames : {3, 199, 1999, FirmwareFrameCount(FirmwareRoute::Hid, 10 * 1024)}) {
        FakeView view;
        DownloadProgress progress(view, frames);
        for (int i = 0; i < frames; ++i)
            progress.Advance();
        std::vector<std::string> texts = view.PercentTexts();
        ASSERT_EQ(texts.size(), static_cast<std::size_t>(frames) + 1);
        EXPECT_EQ(texts[1], "0%");
        int last = 0;
        for (std::size_t i = 1; i < texts.size(); ++i) {
            const int percent = std::stoi(texts[i]);
            EXPECT_GE(percent, last) << frames;
            EXPECT_LT(percent, 100) << frames << " frames, text " << i;
            last = percent;
        }
        progress.Finish();
        EXPECT_EQ(view.PercentTexts().back(), "100%") << frames;
    }
    EXPECT_EQ(FirmwareFrameCount(FirmwareRoute::Hid, 124), 3);
    EXPECT_EQ(FirmwareFrameCount(FirmwareRoute::PrinterClass, 128), 3);
}

class FirmwareFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string reason;
        m_dir = platform::MakePrivateTempFolder("pellacor-fw-", reason).value_or("");
        ASSERT_FALSE(m_dir.empty()) << reason;
    }
    void TearDown() override {
        if (!m_dir.empty())
            std::filesystem::remove_all(m_dir);
    }
    std::filesystem::path m_dir;
};

TEST_F(FirmwareFileTest, AFileIsReadWholeByteForByte) {
    const Bytes file = MotText(5000);
    std::ofstream(m_dir / "a.mot", std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()),
               static_cast<std::streamsize>(file.size()));
    const FirmwareLoad load = LoadFirmwareFile((m_dir / "a.mot").string());
    ASSERT_NE(load.bytes, nullptr);
    EXPECT_EQ(*load.bytes, file);
    EXPECT_TRUE(load.messages.empty());
}

TEST_F(FirmwareFileTest, AnEmptyFileIsRefused) {
    std::ofstream(m_dir / "empty.mot").close();
    const FirmwareLoad load = LoadFirmwareFile((m_dir / "empty.mot").string());
    EXPECT_EQ(load.bytes, nullptr);
    EXPECT_EQ(load.messages, std::vector<std::string>{"The firmware file is empty."});
}

TEST_F(FirmwareFileTest, OnlyAMotFileIsCheckedAsSRecordText) {
    const Bytes text = MotText(500);
    const std::optional<std::string> problem = FirmwareFormatProblem("/x/main.MOT", text);
    ASSERT_TRUE(problem.has_value());
    EXPECT_EQ(problem->rfind("/x/main.MOT, line 1: ", 0), 0u) << *problem;
    EXPECT_FALSE(FirmwareFormatProblem("/x/main.bin", text).has_value());
}

TEST_F(FirmwareFileTest, MissingTooLargeOrUnreadableFilesAreRefusedWithAClearMessage) {
    FirmwareLoad load = LoadFirmwareFile((m_dir / "none.mot").string());
    EXPECT_EQ(load.bytes, nullptr);
    EXPECT_EQ(load.messages, (std::vector<std::string>{std::strerror(ENOENT),
                                                       "Failed to obtain the file information!"}));
    const std::filesystem::path big = m_dir / "big.mot";
    std::ofstream(big).close();
    std::filesystem::resize_file(big, kMaxFirmwareBytes + 1);  // sparse: nothing is written
    load = LoadFirmwareFile(big.string());
    EXPECT_EQ(load.bytes, nullptr);
    EXPECT_EQ(load.messages, std::vector<std::string>{"The firmware file is larger than 64 MiB!"});
    load = LoadFirmwareFile(m_dir.string());  // a folder opens but cannot be read
    EXPECT_EQ(load.bytes, nullptr);
    EXPECT_EQ(load.messages.back(), "Failed to obtain the file information!");
    std::filesystem::resize_file(big, kMaxFirmwareBytes);  // the limit itself is taken
    EXPECT_NE(LoadFirmwareFile(big.string()).bytes, nullptr);
}
