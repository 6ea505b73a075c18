// The main window's behaviour on a Linux desktop, with the real widgets against the simulated
// laminator: right-clicks, where the focus goes after a commit, the group list's rows,
// message boxes over the window, names for screen readers, and a click right after typing.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFontInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QTimer>
#include <filesystem>
#include <thread>

#include "app/control_ids.h"
#include "app/corvane_dlg.h"
#include "framework/message_box.h"
#include "framework/worker.h"
#include "laminator/catalogue.h"
#include "laminator/param_store.h"
#include "laminator/poll_control.h"
#include "link/link_flags.h"
#include "link/usb_backend.h"
#include "link/usb_link.h"
#include "qt/app_icon.h"
#include "qt/qt_dialog_host.h"
#include "qt/qt_message_box_sink.h"
#include "sim/simulator.h"
#include "tests/qt/qt_test_support.h"
#include "tests/support/simulated_laminator.h"

// QEvent's own hook for marking an event as if it came from the window system, so that a
// press moves the focus as a real click does.
class QSpontaneKeyEvent {
  public:
    static void SetSpontaneous(QEvent* e) { e->setSpontaneous(); }
};

namespace {
using qthost_test::App;
using qthost_test::Click;
using qthost_test::Mouse;
using qthost_test::PumpFor;
using qthost_test::PumpUntil;

void Button(QWidget* w, QEvent::Type type, QPoint pos, Qt::MouseButton button) {
    QMouseEvent e(type, QPointF(pos), w->mapToGlobal(QPointF(pos)), button,
                  type == QEvent::MouseButtonRelease ? Qt::NoButton : button, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

// A real click: press and release as from the window system, one right after the other
// with nothing run between them, as when both arrive in one batch.
void ClickInOneBatch(QWidget* w, QPoint pos) {
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent e(type, QPointF(pos), w->mapToGlobal(QPointF(pos)), Qt::LeftButton,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                      Qt::NoModifier);
        QSpontaneKeyEvent::SetSpontaneous(&e);
        qApp->notify(w, &e);  // sendEvent would clear the mark
    }
}

class MainWindowMendsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        App();
        m_dir = std::filesystem::temp_directory_path() /
                ("pellacor-mends-" + std::to_string(::getpid()));
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
        window->activateWindow();
        ASSERT_TRUE(PumpUntil([&] { return QApplication::activeWindow() == window; }));
        groups = WidgetOf<QListWidget>(kIdGroupList);
        table = WidgetOf<QTableWidget>(kIdParamList);
        ASSERT_TRUE(groups && table);
    }

    void TearDown() override {
        SetMessageBoxSink(nullptr);
        boxes.reset();
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

    // Activate Port without a poller, then "Parameter setup" read from the laminator.
    void ReadParameterSetup() {
        WidgetOf<QCheckBox>(kIdAutoDetect)->click();
        WidgetOf<QPushButton>(kIdActivatePort)->click();
        Click(groups->viewport(), groups->visualItemRect(groups->item(2)).center());
        ASSERT_TRUE(Idle());
        ASSERT_TRUE(PumpUntil([&] {
            return table->rowCount() == 10 && table->item(1, 1) &&
                   table->item(1, 1)->text() == "150";
        }));
    }

    // Double-clicks the temperature's value and types `text` into the edit box that opens.
    QLineEdit* EditTemperature(const QString& text) {
        const QPoint at = table->visualRect(table->model()->index(1, 1)).center();
        Mouse(table->viewport(), QEvent::MouseButtonPress, at);
        Mouse(table->viewport(), QEvent::MouseButtonRelease, at);
        Mouse(table->viewport(), QEvent::MouseButtonDblClick, at);
        Mouse(table->viewport(), QEvent::MouseButtonRelease, at);
        QLineEdit* editor = nullptr;
        PumpUntil([&] {
            for (QLineEdit* e : table->viewport()->findChildren<QLineEdit*>())
                if (e->isVisible() && e->hasFocus())
                    editor = e;
            return editor != nullptr;
        });
        if (editor) {
            editor->selectAll();
            editor->insert(text);
        }
        return editor;
    }

    // The focus is on the parameter list, and an arrow key there changes no group.
    void ExpectFocusKeptOnTheList() {
        ASSERT_TRUE(PumpUntil([&] { return QApplication::focusWidget() == table; }))
            << (QApplication::focusWidget() ? QApplication::focusWidget()->metaObject()->className()
                                            : "none");
        EXPECT_EQ(dlg->FocusedId(), kIdParamList);
        QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
        QApplication::sendEvent(QApplication::focusWidget(), &down);
        PumpFor(std::chrono::milliseconds(50));
        EXPECT_EQ(groups->currentRow(), 2);
        EXPECT_EQ(CurrentGroup(), kGroupParameterSetup);
        EXPECT_EQ(RunningWorkerCount(), 0u);
    }

    std::unique_ptr<pellacor::sim::Simulator> sim;
    std::unique_ptr<QtDialogHost> host;
    std::unique_ptr<CCorvaneDlg> dlg;
    std::unique_ptr<QtMessageBoxSink> boxes;
    QWidget* window = nullptr;
    QListWidget* groups = nullptr;
    QTableWidget* table = nullptr;
    std::filesystem::path m_dir;
};

}  // namespace

TEST_F(MainWindowMendsTest, ARightClickOnTheGroupListOnlyOpensTheContextMenu) {
    WidgetOf<QCheckBox>(kIdAutoDetect)->click();      // no poller
    WidgetOf<QPushButton>(kIdActivatePort)->click();  // a chosen group would start a read
    const QPoint row = groups->visualItemRect(groups->item(3)).center();
    for (Qt::MouseButton button : {Qt::RightButton, Qt::MiddleButton}) {
        Button(groups->viewport(), QEvent::MouseButtonPress, row, button);
        Button(groups->viewport(), QEvent::MouseButtonRelease, row, button);
    }
    PumpFor(std::chrono::milliseconds(50));
    EXPECT_EQ(groups->currentRow(), 0);
    EXPECT_EQ(CurrentGroup(), kGroupVersionInfo);
    EXPECT_EQ(table->rowCount(), 2);
    EXPECT_EQ(RunningWorkerCount(), 0u);

    // The right button's own event opens the window's menu with the about item.
    QString shownItem;
    QTimer::singleShot(0, groups, [&] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            if (!menu->actions().isEmpty())
                shownItem = menu->actions().back()->text();
            menu->close();
        }
    });
    QContextMenuEvent context(QContextMenuEvent::Mouse, row, groups->viewport()->mapToGlobal(row));
    QApplication::sendEvent(groups->viewport(), &context);
    PumpFor(std::chrono::milliseconds(20));  // the timer has run before its captures go
    EXPECT_FALSE(shownItem.isEmpty());
    EXPECT_EQ(groups->currentRow(), 0);

    // The left button still chooses.
    Click(groups->viewport(), row);
    EXPECT_EQ(CurrentGroup(), kGroupLaminatorSetup);
    ASSERT_TRUE(Idle());
}

TEST_F(MainWindowMendsTest, ACommitByScrollingOrDraggingAColumnLeavesTheFocusOnTheList) {
    ReadParameterSetup();
    QLineEdit* editor = EditTemperature("171");
    ASSERT_NE(editor, nullptr);
    table->verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    ASSERT_TRUE(PumpUntil([&] { return !editor->isVisible(); }));
    EXPECT_EQ(dlg->Item(kIdParamList).GetCell(1, 1), "171");
    ExpectFocusKeptOnTheList();

    table->verticalScrollBar()->setValue(0);
    editor = EditTemperature("172");
    ASSERT_NE(editor, nullptr);
    QHeaderView* header = table->horizontalHeader();
    const QPoint divider(header->sectionViewportPosition(1) - 1, header->height() / 2);
    Mouse(header->viewport(), QEvent::MouseButtonPress, divider);
    header->resizeSection(0, header->sectionSize(0) + 12);  // the drag's first step
    Mouse(header->viewport(), QEvent::MouseButtonRelease, divider);
    ASSERT_TRUE(PumpUntil([&] { return !editor->isVisible(); }));
    EXPECT_EQ(dlg->Item(kIdParamList).GetCell(1, 1), "172");
    ExpectFocusKeptOnTheList();
}

TEST_F(MainWindowMendsTest, TheGroupListShowsAllFiveGroupsWithoutAScrollBar) {
    PumpFor(std::chrono::milliseconds(20));
    ASSERT_EQ(groups->count(), 5);
    EXPECT_FALSE(groups->verticalScrollBar()->isVisible());
    const int pixelHeight = QFontInfo(groups->font()).pixelSize();
    EXPECT_LT(pixelHeight, groups->fontMetrics().height());  // the CJK face's spacing is more
    for (int i = 0; i < groups->count(); ++i) {
        const QRect row = groups->visualItemRect(groups->item(i));
        EXPECT_EQ(row.height(), pixelHeight) << i;
        EXPECT_TRUE(groups->viewport()->rect().contains(row)) << i;
    }
}

TEST_F(MainWindowMendsTest, MessageBoxesOpenCentredOverTheWindowWithoutBlockingIt) {
    SetApplicationIdentity();
    boxes = std::make_unique<QtMessageBoxSink>();
    SetMessageBoxSink(boxes.get());
    std::atomic<bool> returned{false};
    std::thread worker([&] {
        MessageBox("Write OK");
        returned = true;
    });
    ASSERT_TRUE(PumpUntil([&] { return boxes->OpenCount() == 1; }));
    PumpFor(std::chrono::milliseconds(30));
    QMessageBox* box = boxes->OpenBoxes().front();
    EXPECT_EQ(box->parentWidget(), window);
    EXPECT_EQ(box->windowModality(), Qt::NonModal);
    EXPECT_FALSE(box->isModal());
    const QPoint off = box->frameGeometry().center() - window->frameGeometry().center();
    EXPECT_LE(off.manhattanLength(), 4) << off.x() << "," << off.y();
    // The application's name and icon, for the task bar and the box itself.
    EXPECT_EQ(QGuiApplication::desktopFileName(), "pellacor");
    EXPECT_FALSE(box->windowIcon().isNull());

    // The window still takes clicks while the box is up.
    auto* hid = WidgetOf<QCheckBox>(kIdUseHid);
    const bool wasChecked = hid->isChecked();
    Click(hid, hid->rect().center());
    EXPECT_NE(hid->isChecked(), wasChecked);
    EXPECT_FALSE(returned);
    boxes->DismissAll();
    ASSERT_TRUE(PumpUntil([&] { return returned.load(); }));
    worker.join();

    // A box taken down with its window still lets its caller go on.
    std::thread late([&] { MessageBox("Send data error!"); });
    ASSERT_TRUE(PumpUntil([&] { return boxes->OpenCount() == 1; }));
    host->Close(*dlg);
    late.join();
    EXPECT_EQ(boxes->OpenCount(), 0u);
}

TEST_F(MainWindowMendsTest, EveryFieldIsNamedAfterItsLabelWhichIsItsBuddy) {
    const std::vector<std::pair<int, QString>> names = {
        {kIdGroupList, "Parameter setting item"},
        {kIdParamList, "Parameter list"},
        {kIdFirmwarePath, "Path"},
        {kIdProgress, "Download process"},
        {kIdRollerTemperature, "Heating Roller temperature"},
        {kIdEnvironmentTemperature, "Environment temperature"},
        {kIdStateBox, "Laminator status"},
        {kIdCardChannelBox, "Card channel status"},
        {kIdDescription, "Parameter description"},
        {kIdModeCombo, "Switch Mode"},
        {kIdCommandText, "Send command"},
    };
    for (const auto& [id, name] : names)
        EXPECT_EQ(host->WidgetById(*dlg, id)->accessibleName(), name) << id;
    EXPECT_EQ(host->WidgetById(*dlg, kIdRollerTemperature)->accessibleDescription(),
              "degrees Celsius");
    // No visible field is left without a name.
    for (QWidget* w : window->findChildren<QWidget*>()) {
        const bool field = qobject_cast<QLineEdit*>(w) || qobject_cast<QAbstractItemView*>(w) ||
                           qobject_cast<QComboBox*>(w) || qobject_cast<QProgressBar*>(w);
        if (field && w->isVisible() && w->parentWidget() == window) {
            EXPECT_FALSE(w->accessibleName().isEmpty()) << w->metaObject()->className();
        }
    }
    // Every label that names a field is that field's buddy.
    int buddies = 0;
    for (QLabel* label : window->findChildren<QLabel*>()) {
        const QString text = label->text();
        if (!label->isVisible() || !(text.endsWith(u':') || text.endsWith(QChar(0xFF1A))))
            continue;
        ASSERT_NE(label->buddy(), nullptr) << label->text().toStdString();
        EXPECT_TRUE(label->text().startsWith(label->buddy()->accessibleName()));
        ++buddies;
    }
    EXPECT_EQ(buddies, 6);
}

TEST_F(MainWindowMendsTest, WritePressedRightAfterTypingChecksAndWritesTheTypedText) {
    ReadParameterSetup();
    auto* write = WidgetOf<QPushButton>(kIdWrite);
    // Press and release in one batch: nothing runs in between. The handler checks what was
    // typed (171 is no multiple of 5), not what the cell held before (150).
    QLineEdit* editor = EditTemperature("171");
    ASSERT_NE(editor, nullptr);
    ClickInOneBatch(write, write->rect().center());
    EXPECT_EQ(QApplication::focusWidget(), write);
    ASSERT_TRUE(Idle());
    EXPECT_EQ(DefaultMessageBoxRecorder().Texts().size(), 1u);
    EXPECT_EQ(sim->State(0).params.temperatureByte, 0);  // nothing written

    DefaultMessageBoxRecorder().Clear();
    editor = EditTemperature("170");
    ASSERT_NE(editor, nullptr);
    ClickInOneBatch(write, write->rect().center());
    ASSERT_TRUE(Idle());
    EXPECT_EQ(dlg->Item(kIdParamList).GetCell(1, 1), "170");
    EXPECT_EQ(sim->State(0).params.temperatureByte, 20);
    EXPECT_TRUE(DefaultMessageBoxRecorder().Texts().empty());
}
