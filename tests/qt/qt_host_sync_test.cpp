// State changed by other threads reaches the widgets on the GUI thread; in-place children
// come and go over the list's cells.
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QTableWidget>
#include <atomic>
#include <thread>

#include "qt_host_fixture.h"

namespace qthost_test {
namespace {

using QtHostSync = QtHostTest;

TEST_F(QtHostSync, WorkerChangesShowAfterEventsAreProcessed) {
    host->Show(*dialog);
    auto* percent = qobject_cast<QLabel*>(host->Widget(*dialog, IndexOf(kPercent)));
    std::thread worker([this] {
        Control& bar = dialog->Item(kProgress);
        bar.SetRange(0, 1000);
        for (int i = 0; i <= 1000; ++i) {
            bar.SetPosition(i);
            dialog->Item(kPercent).SetText(std::to_string(i / 10) + "%");
        }
        dialog->Item(kGo).Enable(false);
    });
    // The window thread never waits for the worker; it keeps pumping meanwhile.
    EXPECT_TRUE(PumpUntil([&] { return percent->text() == "100%"; }));
    worker.join();
    Flush();
    EXPECT_EQ(WidgetOf<QProgressBar>(kProgress)->value(), 1000);
    EXPECT_FALSE(WidgetOf(kGo)->isEnabled());
}

TEST_F(QtHostSync, ListCellsWrittenByAWorkerAppear) {
    host->Show(*dialog);
    Control& report = dialog->Item(kReport);
    report.InsertColumn(0, "Parameter name", 120);
    report.InsertColumn(1, "Setting value", 80);
    report.InsertRow(0, "Main version");
    report.InsertRow(1, "Main boot");
    std::thread worker([&] {
        report.SetCell(0, 1, "V1.23");
        report.SetCell(1, 1, "B0.07");
    });
    worker.join();
    auto* list = WidgetOf<QTableWidget>(kReport);
    EXPECT_TRUE(PumpUntil([&] { return list->item(1, 1) && list->item(1, 1)->text() == "B0.07"; }));
    EXPECT_EQ(list->item(0, 1)->text(), "V1.23");
}

TEST_F(QtHostSync, StateChangesBeforeShowAreInTheFirstWindow) {
    dialog->Item(kEdit).SetText("before");
    dialog->Item(kCheck).Show(false);
    host->Show(*dialog);
    EXPECT_EQ(WidgetOf<QLineEdit>(kEdit)->text(), "before");
    EXPECT_FALSE(WidgetOf(kCheck)->isVisible());
}

class QtHostInPlace : public QtHostTest {
  protected:
    QTableWidget* ShowReport() {
        ShowActive();
        Control& report = dialog->Item(kReport);
        report.InsertColumn(0, "Parameter name", 120);
        report.InsertColumn(1, "Setting value", 80);
        for (int r = 0; r < 3; ++r)
            report.InsertRow(r, "row " + std::to_string(r));
        report.SetCell(1, 1, "12.5");
        Flush();
        return WidgetOf<QTableWidget>(kReport);
    }
};

TEST_F(QtHostInPlace, EditAppearsOverTheCellAtCellRectWithTheFocus) {
    QTableWidget* list = ShowReport();
    Control& edit = dialog->CreateChild(kReport, ControlKind::Edit, kReport,
                                        kStyleBorder | kStyleAutoHScroll | kStyleWantReturn);
    Flush();
    QWidget* widget = host->Widget(*dialog, edit.Index());
    ASSERT_NE(widget, nullptr);
    EXPECT_FALSE(widget->isVisible());  // hidden until shown
    EXPECT_EQ(widget->parentWidget(), list->viewport());

    const auto cell = host->CellRect(*dialog, kReport, 1, 1);
    ASSERT_TRUE(cell.has_value());
    EXPECT_EQ(QRect(cell->left, cell->top, cell->width, cell->height),
              list->visualRect(list->model()->index(1, 1)));
    edit.MoveTo(*cell);
    edit.SetText(dialog->Item(kReport).GetCell(1, 1));
    edit.Show(true);
    edit.SetFocus();
    Flush();
    auto* line = qobject_cast<QLineEdit*>(widget);
    ASSERT_NE(line, nullptr);
    EXPECT_TRUE(line->isVisible());
    EXPECT_TRUE(line->hasFrame());
    EXPECT_EQ(line->geometry(), QRect(cell->left, cell->top, cell->width, cell->height));
    EXPECT_EQ(line->text(), "12.5");
    EXPECT_EQ(QApplication::focusWidget(), line);
    EXPECT_EQ(dialog->FocusIndex(), edit.Index());

    // Its events name it by index: its id is the list's.
    line->end(false);
    QKeyEvent key(QEvent::KeyPress, Qt::Key_0, Qt::NoModifier, "0");
    QApplication::sendEvent(line, &key);
    EXPECT_EQ(edit.GetText(), "12.50");
    auto changes = dialog->EventsOf(Notify::EditChange);
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].source, edit.Index());
    EXPECT_EQ(changes[0].id, kReport);
}

TEST_F(QtHostInPlace, LosingTheFocusTellsTheChildsHandler) {
    ShowReport();
    Control& edit = dialog->CreateChild(kReport, ControlKind::Edit, kReport, kStyleBorder);
    RecordingHandler handler;
    dialog->AttachHandler(edit, handler);
    edit.MoveTo(*host->CellRect(*dialog, kReport, 0, 1));
    edit.Show(true);
    edit.SetFocus();
    Flush();
    // The user clicks back into the list.
    WidgetOf(kReport)->setFocus(Qt::MouseFocusReason);
    ASSERT_EQ(handler.events.size(), 1u);
    EXPECT_EQ(handler.events[0].code, Notify::KillFocus);
    EXPECT_EQ(handler.events[0].source, edit.Index());
    EXPECT_EQ(dialog->FocusIndex(), IndexOf(kReport));
}

TEST_F(QtHostInPlace, ComboChildReportsUnderItsNewIdAndIsDeletedWhenDestroyed) {
    ShowReport();
    Control& combo = dialog->CreateChild(kReport, ControlKind::ComboBox, 1002, kStyleDropDownList);
    combo.AddItem("static acquisition");
    combo.AddItem("dynamic acquisition");
    combo.MoveTo(*host->CellRect(*dialog, kReport, 2, 1));
    combo.Show(true);
    combo.SetId(1234);
    Flush();
    QPointer<QWidget> widget = host->Widget(*dialog, combo.Index());
    auto* box = qobject_cast<QComboBox*>(widget.data());
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->count(), 2);
    QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
    QApplication::sendEvent(box, &down);
    auto changes = dialog->EventsOf(Notify::SelChange);
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].id, 1234);
    EXPECT_EQ(changes[0].source, combo.Index());
    EXPECT_EQ(combo.GetSelection(), 0);

    dialog->DestroyChild(combo);
    Flush();
    EXPECT_EQ(host->Widget(*dialog, combo.Index()), nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(widget.isNull());
}

TEST_F(QtHostInPlace, HitTestFindsTheCellUnderAPointAndNothingBelowTheRows) {
    QTableWidget* list = ShowReport();
    const QRect r = list->visualRect(list->model()->index(2, 1));
    const CellHit hit = host->HitTestCell(*dialog, kReport, {r.center().x(), r.center().y()});
    EXPECT_EQ(hit.row, 2);
    EXPECT_EQ(hit.column, 1);
    const CellHit below = host->HitTestCell(*dialog, kReport, {r.center().x(), r.bottom() + 40});
    EXPECT_EQ(below.row, -1);
    EXPECT_EQ(below.column, -1);
    EXPECT_FALSE(host->CellRect(*dialog, kReport, 3, 0).has_value());
    EXPECT_FALSE(host->CellRect(*dialog, kReport, 0, 2).has_value());
}

}  // namespace
}  // namespace qthost_test
