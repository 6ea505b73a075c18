// A firmware download is never cut short without a word: Deactivate Port, Exit and closing
// the window ask first, with the real widgets and message boxes, against the simulated
// laminator. No lets the transfer finish; Yes stops it at a frame boundary and says how far.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <regex>
#include <thread>

#include "app/control_ids.h"
#include "app/corvane_dlg.h"
#include "framework/message_box.h"
#include "framework/worker.h"
#include "laminator/firmware_download.h"
#include "laminator/param_store.h"
#include "laminator/poll_control.h"
#include "link/link_buffers.h"
#include "link/link_flags.h"
#include "link/usb_backend.h"
#include "link/usb_link.h"
#include "qt/qt_dialog_host.h"
#include "qt/qt_message_box_sink.h"
#include "sim/simulator.h"
#include "tests/qt/qt_test_support.h"
#include "tests/support/link_hold.h"
#include "tests/support/simulated_laminator.h"

namespace {
using namespace std::chrono_literals;
using qthost_test::App;
using qthost_test::PumpUntil;
using Bytes = std::vector<std::uint8_t>;

// Answers the file dialog with a path of the test's choosing.
class ChoosingHost : public QtDialogHost {
  public:
    std::optional<std::string> OpenFileDialog(Dialog&, const std::string&) override { return next; }
    std::optional<std::string> next;
};

Bytes Counting(std::size_t n) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i)
        b[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
    return b;
}

class DownloadQuestionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        App();
        m_dir = std::filesystem::temp_directory_path() /
                ("pellacor-question-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(m_dir);
        std::string error;
        sim = StartSimulatedLaminator(m_dir, error);
        ASSERT_NE(sim, nullptr) << error;
        Store().Clear();
        UsbLinkActive.store(0);
        EthernetLinkActive.store(0);
        boxes = std::make_unique<QtMessageBoxSink>();
        SetMessageBoxSink(boxes.get());
        host = std::make_unique<ChoosingHost>();
        dlg = std::make_unique<CCorvaneDlg>(host.get());
        dlg->m_endProcess = [this](int status) { endedWith = status; };
        window = host->Show(*dlg);
        ASSERT_NE(window, nullptr);
    }

    void TearDown() override {
        boxes->SetAutoDismiss(true);
        boxes->DismissAll();
        PumpUntil([&] { return !dlg->DownloadRunning(); }, 60s);
        PumpUntil([] { return RunningWorkerCount() == 0; }, 10s);
        SetMessageBoxSink(nullptr);
        host->Close(*dlg);
        dlg.reset();
        host.reset();
        boxes.reset();
        CloseUsbLink();
        StopStatusPoller();
        ResetUsbBackends();
        sim.reset();
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }

    template <class W>
    W* WidgetOf(int id) {
        return dynamic_cast<W*>(host->WidgetById(*dlg, id));
    }

    // The HID port active without a poller, and `file` loaded through Browse.
    void PrepareHidDownload(const Bytes& file) {
        WidgetOf<QCheckBox>(kIdAutoDetect)->click();
        WidgetOf<QPushButton>(kIdActivatePort)->click();
        ASSERT_TRUE(PumpUntil([] { return UsbHandleTable()[0] > 0; }, 10s));
        // Raw bytes, not S-record text: only a .mot file is checked as one.
        const std::filesystem::path path = m_dir / "fw.bin";
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(file.data()),
                   static_cast<std::streamsize>(file.size()));
        host->next = path.string();
        WidgetOf<QPushButton>(kIdBrowse)->click();
        ASSERT_TRUE(PumpUntil([&] { return dlg->LoadedFirmware() != nullptr; }, 20s));
        ASSERT_TRUE(PumpUntil([&] { return WidgetOf<QPushButton>(kIdDownload)->isEnabled(); }));
        frames = FirmwareFrameCount(FirmwareRoute::Hid, file.size());
    }

    void StartDownload() {
        WidgetOf<QPushButton>(kIdDownload)->click();
        ASSERT_TRUE(dlg->DownloadRunning());
    }

    // Does `ask` (a click that should bring the question up) and answers it with `answer`.
    void AskAndAnswer(const std::function<void()>& ask, QMessageBox::StandardButton answer) {
        QTimer answering;
        answering.setInterval(5);
        QObject::connect(&answering, &QTimer::timeout, [&] {
            for (QMessageBox* box : boxes->OpenBoxes()) {
                if (QAbstractButton* button = box->button(answer)) {
                    questions.push_back(box->text().toStdString());
                    answering.stop();
                    button->click();
                    return;
                }
            }
        });
        answering.start();
        ask();
        answering.stop();
    }

    std::string QuestionAt(int frame) const {
        return "A firmware download is running (frame " + std::to_string(frame) + " of " +
               std::to_string(frames) +
               "). Stopping it leaves the laminator without complete firmware. Stop it?";
    }

    // Waits for the box saying how far the stopped transfer got, dismisses it, and returns
    // the frames it names as sent.
    int StoppedAt() {
        const std::regex stopped("Download stopped: ([0-9]+) of ([0-9]+) frames sent\\.");
        int sent = -1;
        EXPECT_TRUE(PumpUntil(
            [&] {
                for (const std::string& text : boxes->ShownTexts()) {
                    std::smatch m;
                    if (std::regex_match(text, m, stopped) && std::stoi(m[2]) == frames)
                        sent = std::stoi(m[1]);
                }
                return sent >= 0;
            },
            30s));
        boxes->DismissAll();
        return sent;
    }

    void ExpectWholeFileReceived(const Bytes& file) {
        ASSERT_TRUE(PumpUntil([&] { return !dlg->DownloadRunning(); }, 60s));
        ASSERT_TRUE(PumpUntil([&] { return sim->Firmware(0).complete; }, 20s));
        const pellacor::sim::FirmwareCapture fw = sim->Firmware(0);
        EXPECT_EQ(fw.bytes, file.size());
        EXPECT_EQ(fw.data, file);
        for (const std::string& text : boxes->ShownTexts())
            EXPECT_EQ(text.find("Download stopped"), std::string::npos) << text;
    }

    std::unique_ptr<pellacor::sim::Simulator> sim;
    std::unique_ptr<QtMessageBoxSink> boxes;
    std::unique_ptr<ChoosingHost> host;
    std::unique_ptr<CCorvaneDlg> dlg;
    QWidget* window = nullptr;
    std::filesystem::path m_dir;
    int frames = 0;
    std::vector<std::string> questions;
    std::optional<int> endedWith;
};

}  // namespace

TEST_F(DownloadQuestionTest, DeactivateAsksFirstAndNoLetsTheWholeFileGoOut) {
    const Bytes file = Counting(300 * 1024);
    PrepareHidDownload(file);
    LinkHold hold;  // the transfer waits before its first frame
    StartDownload();
    AskAndAnswer([&] { WidgetOf<QPushButton>(kIdDeactivatePort)->click(); }, QMessageBox::No);
    EXPECT_EQ(questions, std::vector<std::string>{QuestionAt(1)});
    hold.Release();
    ExpectWholeFileReceived(file);
    // The transfer closed the port itself at its end, as after every HID download.
    EXPECT_TRUE(PumpUntil([&] { return WidgetOf<QPushButton>(kIdActivatePort)->isEnabled(); }));
}

TEST_F(DownloadQuestionTest, DeactivateYesStopsAtAFrameBoundaryAndSaysHowFar) {
    const Bytes file = Counting(16 << 20);
    PrepareHidDownload(file);
    StartDownload();
    // Asked in the middle of the transfer.
    ASSERT_TRUE(PumpUntil([&] { return dlg->GetProgressPosition() >= 20; }, 30s));
    AskAndAnswer([&] { WidgetOf<QPushButton>(kIdDeactivatePort)->click(); }, QMessageBox::Yes);
    ASSERT_EQ(questions.size(), 1u);
    const int sent = StoppedAt();
    EXPECT_GE(sent, 20);
    EXPECT_LT(sent, frames);
    // Every frame the message counts reached the laminator whole, and nothing after them.
    ASSERT_TRUE(PumpUntil([&] { return sim->Firmware(0).frames == static_cast<unsigned>(sent); }));
    const pellacor::sim::FirmwareCapture fw = sim->Firmware(0);
    EXPECT_EQ(fw.data, Bytes(file.begin(), file.begin() + sent * 62));
    // Then the port was deactivated, as asked.
    ASSERT_TRUE(PumpUntil([&] { return WidgetOf<QPushButton>(kIdActivatePort)->isEnabled(); }));
    EXPECT_EQ(UsbHandleTable()[0], -1);
}

TEST_F(DownloadQuestionTest, ExitAndCloseAskFirstAndNoKeepsTheProgramAndTheTransfer) {
    const Bytes file = Counting(200 * 1024);
    PrepareHidDownload(file);
    LinkHold hold;
    StartDownload();
    AskAndAnswer([&] { WidgetOf<QPushButton>(kIdExit)->click(); }, QMessageBox::No);
    AskAndAnswer([&] { window->close(); }, QMessageBox::No);
    EXPECT_EQ(questions, (std::vector<std::string>{QuestionAt(1), QuestionAt(1)}));
    hold.Release();
    ExpectWholeFileReceived(file);
    EXPECT_FALSE(endedWith.has_value());
    EXPECT_FALSE(host->EndResult(*dlg).has_value());
    EXPECT_TRUE(window->isVisible());
}

TEST_F(DownloadQuestionTest, CloseYesEndsTheWindowOnlyOnceTheTransferHasStopped) {
    PrepareHidDownload(Counting(100 * 1024));
    LinkHold hold;
    StartDownload();
    AskAndAnswer([&] { window->close(); }, QMessageBox::Yes);
    ASSERT_EQ(questions.size(), 1u);
    qthost_test::PumpFor(50ms);
    EXPECT_FALSE(host->EndResult(*dlg).has_value());  // the transfer has not stopped yet
    hold.Release();
    EXPECT_EQ(StoppedAt(), 0);  // asked before its first frame: nothing went out
    EXPECT_TRUE(PumpUntil([&] { return host->EndResult(*dlg) == IDCANCEL; }, 10s));
    EXPECT_EQ(sim->Firmware(0).frames, 0u);
}

TEST_F(DownloadQuestionTest, ExitYesEndsTheProgramOnlyOnceTheTransferHasStopped) {
    PrepareHidDownload(Counting(100 * 1024));
    LinkHold hold;
    StartDownload();
    AskAndAnswer([&] { WidgetOf<QPushButton>(kIdExit)->click(); }, QMessageBox::Yes);
    qthost_test::PumpFor(50ms);
    EXPECT_FALSE(endedWith.has_value());
    hold.Release();
    EXPECT_EQ(StoppedAt(), 0);
    EXPECT_TRUE(PumpUntil([&] { return endedWith.has_value(); }, 10s));
    EXPECT_EQ(endedWith.value_or(0), 1);
}

TEST_F(DownloadQuestionTest, WithoutADownloadNothingIsAsked) {
    WidgetOf<QCheckBox>(kIdAutoDetect)->click();
    WidgetOf<QPushButton>(kIdActivatePort)->click();
    ASSERT_TRUE(PumpUntil([] { return UsbHandleTable()[0] > 0; }, 10s));
    WidgetOf<QPushButton>(kIdDeactivatePort)->click();
    ASSERT_TRUE(PumpUntil([&] { return WidgetOf<QPushButton>(kIdActivatePort)->isEnabled(); }));
    WidgetOf<QPushButton>(kIdExit)->click();
    EXPECT_EQ(endedWith.value_or(0), 1);
    EXPECT_TRUE(boxes->ShownTexts().empty());
}
