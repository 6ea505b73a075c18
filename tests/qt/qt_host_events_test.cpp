// User input on the real widgets: state changes first, then the dialog's events; focus,
// keys, closing and the system menu.
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QTimer>

#include "qt/dialog_window.h"
#include "qt/ip_address_edit.h"
#include "qt_host_fixture.h"

namespace qthost_test {
namespace {

void Type(QWidget* w, const QString& text) {
    for (QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(w, &press);
    }
}

void PressKey(QWidget* w, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(w, &press);
}

class QtHostEvents : public QtHostTest {
  protected:
    QTableWidget* ReportWithRows(int rows) {
        Control& report = dialog->Item(kReport);
        report.InsertColumn(0, "Parameter name", 120);
        report.InsertColumn(1, "Setting value", 80);
        for (int r = 0; r < rows; ++r)
            report.InsertRow(r, "row " + std::to_string(r));
        Flush();
        return WidgetOf<QTableWidget>(kReport);
    }
};

TEST_F(QtHostEvents, ButtonClickGoesThroughTheMessageMapWithItsIndex) {
    host->Show(*dialog);
    WidgetOf<QPushButton>(kGo)->click();
    EXPECT_EQ(dialog->goClicks, 1);
    auto clicks = dialog->EventsOf(Notify::Clicked);
    ASSERT_EQ(clicks.size(), 1u);
    EXPECT_EQ(clicks[0].id, kGo);
    EXPECT_EQ(clicks[0].source, IndexOf(kGo));
}

TEST_F(QtHostEvents, CheckboxStateIsSetBeforeItsClickArrives) {
    host->Show(*dialog);
    WidgetOf<QCheckBox>(kCheck)->click();
    WidgetOf<QCheckBox>(kCheck)->click();
    EXPECT_EQ(dialog->checkSeenAtClick, (std::vector<int>{1, 0}));
    EXPECT_EQ(dialog->Item(kCheck).GetCheck(), 0);
    // The program's own change is not a click.
    dialog->Item(kCheck).SetCheck(1);
    Flush();
    EXPECT_EQ(dialog->EventsOf(Notify::Clicked).size(), 2u);
}

TEST_F(QtHostEvents, TypingSetsTheTextBeforeEditChangeAndIsNotUndoneByRepaints) {
    host->Show(*dialog);
    auto* edit = WidgetOf<QLineEdit>(kEdit);
    Type(edit, "ab");
    EXPECT_EQ(dialog->Item(kEdit).GetText(), "ab");
    EXPECT_EQ(dialog->editSeenAtChange, (std::vector<std::string>{"a", "ab"}));
    edit->setCursorPosition(1);
    Flush();
    // Repaints of the typed text and of other controls leave the caret alone.
    dialog->Item(kPercent).SetText("50%");
    Flush();
    EXPECT_EQ(edit->cursorPosition(), 1);
    EXPECT_EQ(edit->text(), "ab");

    auto* multi = WidgetOf<QPlainTextEdit>(kMultiEdit);
    dialog->Item(kMultiEdit).SetText("line 1\r\nline 2");
    Flush();
    multi->moveCursor(QTextCursor::End);
    Type(multi, "!");
    EXPECT_EQ(dialog->Item(kMultiEdit).GetText(), "line 1\r\nline 2!");
}

TEST_F(QtHostEvents, ListBoxChoiceSetsSelectionAndCaretAndRepeatsForTheSameRow) {
    host->Show(*dialog);
    for (auto name : {"Version info", "Laminator info", "Parameter setup"})
        dialog->Item(kList).AddItem(name);
    Flush();
    auto* list = WidgetOf<QListWidget>(kList);
    const QPoint row1 = list->visualItemRect(list->item(1)).center();
    Click(list->viewport(), row1);
    EXPECT_EQ(dialog->Item(kList).GetSelection(), 1);
    EXPECT_EQ(dialog->Item(kList).GetCaret(), 1);
    // Choosing the group again is a choice too.
    Click(list->viewport(), row1);
    auto changes = dialog->EventsOf(Notify::SelChange);
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_EQ(changes[1].id, kList);
    list->setFocus();
    PressKey(list, Qt::Key_Down);
    EXPECT_EQ(dialog->Item(kList).GetCaret(), 2);
    EXPECT_EQ(dialog->EventsOf(Notify::SelChange).size(), 3u);
    // Selecting from the program sends nothing.
    dialog->Item(kList).SetSelection(0);
    Flush();
    EXPECT_EQ(list->currentRow(), 0);
    EXPECT_EQ(dialog->EventsOf(Notify::SelChange).size(), 3u);
}

TEST_F(QtHostEvents, ComboChoiceSetsSelectionThenSelChange) {
    host->Show(*dialog);
    auto* combo = WidgetOf<QComboBox>(kCombo);
    PressKey(combo, Qt::Key_Down);
    EXPECT_EQ(dialog->Item(kCombo).GetSelection(), 0);
    EXPECT_EQ(dialog->Item(kCombo).GetText(), "Standard mode");
    ASSERT_EQ(dialog->EventsOf(Notify::SelChange).size(), 1u);
    EXPECT_EQ(dialog->EventsOf(Notify::SelChange)[0].item, 0);

    auto* editable = WidgetOf<QComboBox>(kEditCombo);
    Type(editable->lineEdit(), "Sta");
    EXPECT_EQ(dialog->Item(kEditCombo).GetText(), "Sta");
}

TEST_F(QtHostEvents, IpFieldsEditedByTheUserReachTheState) {
    host->Show(*dialog);
    auto* ip = dynamic_cast<IpAddressEdit*>(host->WidgetById(*dialog, kIp));
    Type(ip->Field(0), "10");
    Type(ip->Field(3), "300");
    EXPECT_EQ(dialog->Item(kIp).GetFields(), (std::array<int, 4>{10, -1, -1, 255}));
}

TEST_F(QtHostEvents, ListViewClickAndDoubleClickCarryRowAndPointAlsoBelowTheLastRow) {
    host->Show(*dialog);
    QTableWidget* list = ReportWithRows(2);
    QWidget* viewport = list->viewport();
    const QPoint onRow1 = list->visualRect(list->model()->index(1, 1)).center();
    const QPoint below(20, list->visualRect(list->model()->index(1, 0)).bottom() + 30);
    Click(viewport, onRow1);
    Click(viewport, below);
    auto clicks = dialog->EventsOf(Notify::Click);
    ASSERT_EQ(clicks.size(), 2u);
    EXPECT_EQ(clicks[0].item, 1);
    EXPECT_EQ(clicks[1].item, -1);
    EXPECT_EQ(clicks[0].id, kReport);

    Mouse(viewport, QEvent::MouseButtonDblClick, below);
    Mouse(viewport, QEvent::MouseButtonRelease, below);
    Mouse(viewport, QEvent::MouseButtonDblClick, onRow1);
    Mouse(viewport, QEvent::MouseButtonRelease, onRow1);
    auto doubles = dialog->EventsOf(Notify::DblClick);
    ASSERT_EQ(doubles.size(), 2u);
    EXPECT_EQ(doubles[0].point.x, below.x());
    EXPECT_EQ(doubles[0].point.y, below.y());
    EXPECT_EQ(doubles[1].item, 1);
    // The release ending a double-click is no further click, and Qt opened no editor.
    EXPECT_EQ(dialog->EventsOf(Notify::Click).size(), 2u);
    EXPECT_TRUE(list->viewport()->findChildren<QLineEdit*>().isEmpty());
}

TEST_F(QtHostEvents, HeaderDragStartsOneTrackAndUserWidthsSurviveRepaints) {
    host->Show(*dialog);
    QTableWidget* list = ReportWithRows(2);
    QHeaderView* header = list->horizontalHeader();
    Mouse(header->viewport(), QEvent::MouseButtonPress, QPoint(119, 5));
    header->resizeSection(0, 130);
    header->resizeSection(0, 140);
    Mouse(header->viewport(), QEvent::MouseButtonRelease, QPoint(139, 5));
    EXPECT_EQ(dialog->EventsOf(Notify::BeginTrack).size(), 1u);
    dialog->Item(kReport).SetCell(0, 1, "changed");
    Flush();
    EXPECT_EQ(list->columnWidth(0), 140);
    EXPECT_EQ(list->item(0, 1)->text(), "changed");
    // The program's own column changes are no drag.
    dialog->Item(kReport).InsertColumn(2, "Unit", 50);
    Flush();
    EXPECT_EQ(dialog->EventsOf(Notify::BeginTrack).size(), 1u);
}

TEST_F(QtHostEvents, ScrollBarUseIsReportedButRowChangesAreNot) {
    host->Show(*dialog);
    QTableWidget* list = ReportWithRows(40);
    EXPECT_TRUE(dialog->EventsOf(Notify::Scroll).empty());
    list->verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    list->horizontalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(dialog->EventsOf(Notify::Scroll).size(), 2u);
}

TEST_F(QtHostEvents, FocusMovesAreSeenByTheDialogAndKillFocusReachesTheHandler) {
    RecordingHandler handler;
    dialog->AttachHandler(dialog->Item(kEdit), handler);
    ShowActive();
    WidgetOf(kEdit)->setFocus();
    EXPECT_EQ(dialog->FocusedId(), kEdit);
    WidgetOf(kCheck)->setFocus();
    EXPECT_EQ(dialog->FocusedId(), kCheck);
    ASSERT_EQ(handler.events.size(), 1u);
    EXPECT_EQ(handler.events[0].code, Notify::KillFocus);
    EXPECT_EQ(handler.events[0].source, IndexOf(kEdit));

    // The program moves the focus; the widget follows.
    dialog->Item(kMultiEdit).SetFocus();
    Flush();
    EXPECT_EQ(QApplication::focusWidget(), WidgetOf(kMultiEdit));
    EXPECT_EQ(dialog->FocusedId(), kMultiEdit);
}

TEST_F(QtHostEvents, EscapeAndReturnGoThroughHandleKeyDownOnce) {
    ShowActive();
    QWidget* edit = WidgetOf(kEdit);
    edit->setFocus();
    PressKey(edit, Qt::Key_Escape);
    ASSERT_EQ(dialog->keys.size(), 1u);
    EXPECT_EQ(dialog->keys[0].key, Key::Escape);
    EXPECT_EQ(dialog->keys[0].focusId, kEdit);
    EXPECT_FALSE(host->EndResult(*dialog).has_value());  // swallowed
    PressKey(edit, Qt::Key_A);
    EXPECT_EQ(dialog->keys.size(), 1u);  // other keys are the widget's
    PressKey(edit, Qt::Key_Return);
    ASSERT_EQ(dialog->keys.size(), 2u);
    EXPECT_EQ(host->EndResult(*dialog), IDOK);  // not swallowed: the default OK
    EXPECT_FALSE(host->Window(*dialog)->isVisible());
}

TEST_F(QtHostEvents, ClosingFromTheTitleBarIsCancel) {
    QWidget* window = host->Show(*dialog);
    window->close();
    EXPECT_EQ(host->EndResult(*dialog), IDCANCEL);
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(dialog->EventsOf(Notify::Command).empty());
}

TEST_F(QtHostEvents, SystemMenuItemsDispatchSysCommand) {
    dialog->AppendSystemMenuItem(0, "");
    dialog->AppendSystemMenuItem(0x0010, "About Pellacor...");
    QWidget* window = host->Show(*dialog);
    QMenu* menu = static_cast<DialogWindow*>(window)->CreateContextMenu();
    ASSERT_NE(menu, nullptr);
    QAction* about = nullptr;
    for (QAction* a : menu->actions()) {
        if (a->text() == "About Pellacor...")
            about = a;
    }
    ASSERT_NE(about, nullptr);
    EXPECT_TRUE(menu->actions().front()->isSeparator());
    about->trigger();
    auto commands = dialog->EventsOf(Notify::SysCommand);
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0].id, 0x0010);
    delete menu;
}

TEST_F(QtHostEvents, RunModalReturnsTheEndResultAndSitsOverItsOwner) {
    QWidget* main = ShowActive();
    RecordingDialog child(host.get());
    QWidget* owner = nullptr;
    bool modal = false;
    QTimer::singleShot(0, [&] {
        QWidget* childWindow = host->Window(child);
        owner = childWindow ? childWindow->parentWidget() : nullptr;
        modal = childWindow && childWindow->isModal();
        static_cast<QPushButton*>(host->WidgetById(child, kOk))->click();
    });
    EXPECT_EQ(child.DoModal(), IDOK);
    EXPECT_TRUE(modal);
    EXPECT_EQ(owner, main);
    EXPECT_EQ(host->Window(child), nullptr);  // taken down
}

TEST_F(QtHostEvents, CancelButtonEndsTheModalDialogWithCancel) {
    ShowActive();
    RecordingDialog child(host.get());
    QTimer::singleShot(
        0, [&] { static_cast<QPushButton*>(host->WidgetById(child, kCancel))->click(); });
    EXPECT_EQ(child.DoModal(), IDCANCEL);
}

TEST_F(QtHostEvents, PostedMessagesFromAWorkerRunOnTheWindowThread) {
    host->Show(*dialog);
    std::thread worker([this] { dialog->PostMessage(WM_USER + 101, 7); });
    worker.join();
    EXPECT_TRUE(PumpUntil([this] { return !dialog->EventsOf(Notify::User).empty(); }));
    EXPECT_EQ(dialog->EventsOf(Notify::User)[0].wParam, 7);
    EXPECT_TRUE(host->IsWindowThread());
}

}  // namespace
}  // namespace qthost_test
