// The main window in real Qt widgets against the simulated laminator: what a technician
// does with the mouse, checked on the widgets themselves.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QTableWidget>
#include <filesystem>

#include "app/control_ids.h"
#include "app/corvane_dlg.h"
#include "framework/message_box.h"
#include "framework/worker.h"
#include "laminator/param_store.h"
#include "laminator/poll_control.h"
#include "link/link_flags.h"
#include "link/usb_backend.h"
#include "link/usb_link.h"
#include "qt/qt_dialog_host.h"
#include "qt/screenshot.h"
#include "sim/simulator.h"
#include "tests/qt/qt_test_support.h"
#include "tests/support/simulated_laminator.h"

namespace {
using qthost_test::App;
using qthost_test::Click;
using qthost_test::Mouse;
using qthost_test::PumpUntil;

class MainWindowQtTest : public ::testing::Test {
  protected:
    void SetUp() override {
        App();
        m_dir = std::filesystem::temp_directory_path() /
                ("pellacor-window-" + std::to_string(::getpid()));
        std::filesystem::create_directories(m_dir);
        std::string error;
        sim = StartSimulatedLaminator(m_dir, error);
        ASSERT_NE(sim, nullptr) << error;
        Store().Clear();
        UsbLinkActive.store(0);
        EthernetLinkActive.store(0);
        DefaultMessageBoxRecorder().Clear();
        host = std::make_unique<QtDialogHost>();
        dlg = std::make_unique<CCorvaneDlg>(host.get());
        window = host->Show(*dlg);
        ASSERT_NE(window, nullptr);
    }

    void TearDown() override {
        dlg->OnDeactivatePort();
        StopStatusPoller();
        if (WorkerHandle p = PollThread())
            p->Join(std::chrono::seconds(5));
        PumpUntil([] { return RunningWorkerCount() == 0; }, std::chrono::seconds(10));
        host->Close(*dlg);
        dlg.reset();
        host.reset();
        CloseUsbLink();
        UsbLinkActive.store(0);
        ResetUsbBackends();
        sim.reset();
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }

    template <class W>
    W* WidgetOf(int id) {
        return dynamic_cast<W*>(host->WidgetById(*dlg, id));
    }

    bool Idle() {
        return PumpUntil([] { return RunningWorkerCount() == 0; }, std::chrono::seconds(10));
    }

    std::unique_ptr<pellacor::sim::Simulator> sim;
    std::unique_ptr<QtDialogHost> host;
    std::unique_ptr<CCorvaneDlg> dlg;
    QWidget* window = nullptr;
    std::filesystem::path m_dir;
};
}  // namespace

TEST_F(MainWindowQtTest, ActivateChooseEditInPlaceAndWriteWithTheMouse) {
    auto* autoDetect = dynamic_cast<QAbstractButton*>(host->WidgetById(*dlg, kIdAutoDetect));
    ASSERT_NE(autoDetect, nullptr);
    autoDetect->click();  // unticked: no poller in this test
    auto* activate = WidgetOf<QPushButton>(kIdActivatePort);
    ASSERT_NE(activate, nullptr);
    activate->click();
    ASSERT_TRUE(PumpUntil([&] { return !activate->isEnabled(); }, std::chrono::seconds(3)));

    auto* groups = WidgetOf<QListWidget>(kIdGroupList);
    ASSERT_NE(groups, nullptr);
    const QRect groupRow = groups->visualItemRect(groups->item(2));
    Click(groups->viewport(), groupRow.center());
    ASSERT_TRUE(Idle());
    auto* table = WidgetOf<QTableWidget>(kIdParamList);
    ASSERT_NE(table, nullptr);
    ASSERT_TRUE(PumpUntil(
        [&] {
            return table->rowCount() == 10 && table->item(1, 1) &&
                   table->item(1, 1)->text() == "150";
        },
        std::chrono::seconds(3)));

    // A double-click on the temperature opens a real edit box exactly over the cell.
    const QRect cell = table->visualRect(table->model()->index(1, 1));
    Mouse(table->viewport(), QEvent::MouseButtonPress, cell.center());
    Mouse(table->viewport(), QEvent::MouseButtonRelease, cell.center());
    Mouse(table->viewport(), QEvent::MouseButtonDblClick, cell.center());
    Mouse(table->viewport(), QEvent::MouseButtonRelease, cell.center());
    QLineEdit* editor = nullptr;
    ASSERT_TRUE(PumpUntil(
        [&] {
            for (QLineEdit* e : table->viewport()->findChildren<QLineEdit*>())
                if (e->isVisible())
                    editor = e;
            return editor != nullptr;
        },
        std::chrono::seconds(3)));
    EXPECT_EQ(editor->geometry(), cell);
    EXPECT_EQ(editor->text(), "150");
    EXPECT_TRUE(editor->hasFocus());
    editor->selectAll();
    editor->insert("170");

    // Clicking elsewhere takes the focus away: the edit commits into the cell.
    groups->setFocus();
    ASSERT_TRUE(PumpUntil([&] { return !editor->isVisible(); }, std::chrono::seconds(3)));
    ASSERT_TRUE(
        PumpUntil([&] { return table->item(1, 1)->text() == "170"; }, std::chrono::seconds(3)));
    EXPECT_EQ(dlg->Item(kIdParamList).GetCell(1, 1), "170");

    WidgetOf<QPushButton>(kIdWrite)->click();
    ASSERT_TRUE(Idle());
    EXPECT_EQ(sim->State(0).params.temperatureByte, 20);
    WidgetOf<QPushButton>(kIdRead)->click();
    ASSERT_TRUE(Idle());
    ASSERT_TRUE(
        PumpUntil([&] { return table->item(1, 1)->text() == "170"; }, std::chrono::seconds(3)));
    EXPECT_TRUE(DefaultMessageBoxRecorder().Texts().empty());
    if (const char* shot = std::getenv("PELLACOR_SCREENSHOT"))
        SaveWindowPng(window, shot);
}

TEST_F(MainWindowQtTest, LaminatorBytesShowOneByteAsOneCharacter) {
    sim->UpdateState(0, [](pellacor::sim::LaminatorState& s) {
        s.serial =
            "SN\xB5\xFF"
            "01";
    });
    dlg->Item(kIdAutoDetect).SetCheck(0);
    WidgetOf<QPushButton>(kIdActivatePort)->click();
    auto* groups = WidgetOf<QListWidget>(kIdGroupList);
    Click(groups->viewport(), groups->visualItemRect(groups->item(1)).center());
    ASSERT_TRUE(Idle());
    auto* table = WidgetOf<QTableWidget>(kIdParamList);
    ASSERT_TRUE(PumpUntil(
        [&] {
            return table->rowCount() == 5 && table->item(2, 1) &&
                   !table->item(2, 1)->text().isEmpty();
        },
        std::chrono::seconds(3)));
    EXPECT_EQ(table->item(2, 1)->text(), QString::fromLatin1("SN\xB5\xFF"
                                                             "01"));
    EXPECT_EQ(Store().Get(ParamKey::LaminatorSn),
              "SN\xB5\xFF"
              "01");  // bytes kept exactly
}
