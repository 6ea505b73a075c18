// The window as built from a template: widgets, captions, hidden controls, geometry in base
// units, fonts, window flags, stacking and tab order.
#include <QCheckBox>
#include <QComboBox>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <filesystem>

#include "qt/app_icon.h"
#include "qt/base_units.h"
#include "qt/file_filter.h"
#include "qt/font_map.h"
#include "qt/ip_address_edit.h"
#include "qt/screenshot.h"
#include "qt_host_fixture.h"

namespace qthost_test {
namespace {

using QtHostLayout = QtHostTest;

TEST_F(QtHostLayout, EveryVisibleControlIsAWidgetWithItsCaptionAndHiddenOnesStayHidden) {
    QWidget* window = host->Show(*dialog);
    Flush();
    EXPECT_EQ(window->windowTitle(), QStringLiteral(u"Pellacor test (V1.0）"));
    ASSERT_NE(WidgetOf<QPushButton>(kGo), nullptr);
    EXPECT_EQ(WidgetOf<QPushButton>(kGo)->text(), "Go");
    EXPECT_EQ(WidgetOf<QCheckBox>(kCheck)->text(), "HID device");
    EXPECT_EQ(qobject_cast<QGroupBox*>(host->Widget(*dialog, 0))->title(), "Frame");
    EXPECT_EQ(qobject_cast<QLabel*>(host->Widget(*dialog, 1))->text(), QStringLiteral(u"Path："));
    EXPECT_NE(WidgetOf<QLineEdit>(kEdit), nullptr);
    EXPECT_NE(WidgetOf<QPlainTextEdit>(kMultiEdit), nullptr);
    EXPECT_NE(WidgetOf<QListWidget>(kList), nullptr);
    EXPECT_NE(WidgetOf<QTableWidget>(kReport), nullptr);
    EXPECT_NE(WidgetOf<QProgressBar>(kProgress), nullptr);
    EXPECT_NE(dynamic_cast<IpAddressEdit*>(host->WidgetById(*dialog, kIp)), nullptr);
    for (int id : {kGo, kCheck, kEdit, kMultiEdit, kList, kReport, kCombo, kIp, kOk})
        EXPECT_TRUE(host->WidgetById(*dialog, id)->isVisible()) << id;
    EXPECT_FALSE(WidgetOf(kHiddenButton)->isVisible());
    EXPECT_FALSE(WidgetOf(kHiddenEdit)->isVisible());
    // Changing a hidden control's state must not show it.
    dialog->Item(kHiddenEdit).SetText("changed");
    dialog->Item(kHiddenButton).Enable(false);
    Flush();
    EXPECT_FALSE(WidgetOf(kHiddenEdit)->isVisible());
    EXPECT_FALSE(WidgetOf(kHiddenButton)->isVisible());
}

TEST_F(QtHostLayout, GeometryKeepsTheDialogUnitProportions) {
    QWidget* window = host->Show(*dialog);
    const BaseUnits units = host->Units(*dialog);
    // Measured from the mapped font the way Windows does it.
    QFontMetrics fm(QFont("Liberation Sans", 9));
    const int extent = fm.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    EXPECT_EQ(units.AverageWidth(), (extent / 26 + 1) / 2);
    EXPECT_EQ(units.Height(), fm.height());
    EXPECT_EQ(window->width(), units.X(400));
    EXPECT_EQ(window->height(), units.Y(250));
    EXPECT_EQ(window->minimumSize(), window->maximumSize());

    // kHiddenButton sits at twice kGo's x, same y and size.
    const QRect go = WidgetOf(kGo)->geometry();
    const QRect twice = WidgetOf(kHiddenButton)->geometry();
    EXPECT_NEAR(twice.x(), 2 * go.x(), 1);
    EXPECT_EQ(twice.y(), go.y());
    EXPECT_EQ(twice.size(), go.size());
    EXPECT_NEAR(go.width(), 50.0 * units.AverageWidth() / 4, 1);
    EXPECT_NEAR(go.height(), 14.0 * units.Height() / 8, 1);
    // A combo's rectangle includes its drop-down list; the closed box is one line.
    EXPECT_LT(WidgetOf(kCombo)->height(), units.Y(60) / 2);
    EXPECT_EQ(WidgetOf(kCombo)->width(), units.X(100));
}

TEST_F(QtHostLayout, LargerDialogFontScalesTheWholeWindow) {
    host->Show(*dialog);
    const int small = WidgetOf(kReport)->width();
    RecordingDialog big(host.get(), EveryKindTemplate("MS Shell Dlg", 12));
    host->Show(big);
    const int large = host->WidgetById(big, kReport)->width();
    host->Close(big);
    EXPECT_GT(large, small * 5 / 4);
}

TEST_F(QtHostLayout, FontsMapToInstalledFaces) {
    EXPECT_EQ(MapFontFace("MS Shell Dlg"), "Liberation Sans");
    EXPECT_EQ(MapFontFace("黑体"), "Noto Sans CJK SC");
    EXPECT_EQ(MapFontFace("DejaVu Serif"), "DejaVu Serif");
    QWidget* window = host->Show(*dialog);
    EXPECT_EQ(QFontInfo(window->font()).family(), "Liberation Sans");
    EXPECT_EQ(window->font().pointSize(), 9);
    dialog->Item(kList).SetFont("黑体", 150);
    Flush();
    const QFont listFont = WidgetOf(kList)->font();
    EXPECT_EQ(QFontInfo(listFont).family(), "Noto Sans CJK SC");
    EXPECT_DOUBLE_EQ(listFont.pointSizeF(), 15.0);
    // Other controls keep the dialog font.
    EXPECT_EQ(WidgetOf(kEdit)->font().pointSize(), 9);
}

TEST_F(QtHostLayout, WindowHasMinimiseButNoMaximiseBoxAndTheDrawnIcon) {
    dialog->SetIconResource(kApplicationIconResource);
    QWidget* window = host->Show(*dialog);
    EXPECT_TRUE(window->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(window->windowIcon().isNull());
    EXPECT_TRUE(IconForResource(0).isNull());
}

TEST_F(QtHostLayout, GroupBoxesSitBehindAndTabOrderFollowsTheTemplate) {
    QWidget* window = host->Show(*dialog);
    QWidget* go = WidgetOf(kGo);
    // The frame is over the button's area; a click there must reach the button.
    const QPoint centre = go->geometry().center();
    QWidget* hit = window->childAt(centre);
    EXPECT_TRUE(hit == go || go->isAncestorOf(hit));

    std::vector<QWidget*> chain;
    QWidget* w = window;
    do {
        w = w->nextInFocusChain();
        if (w->isVisible() && (w->focusPolicy() & Qt::TabFocus) && w->parentWidget() == window)
            chain.push_back(w);
    } while (w != window && chain.size() < 40);
    auto position = [&](int id) {
        return std::find(chain.begin(), chain.end(), host->WidgetById(*dialog, id)) - chain.begin();
    };
    EXPECT_LT(position(kGo), position(kCheck));
    EXPECT_LT(position(kCheck), position(kEdit));
    EXPECT_LT(position(kEdit), position(kList));
    EXPECT_LT(position(kList), position(kReport));
    EXPECT_LT(position(kReport), position(kOk));
}

TEST_F(QtHostLayout, ControlKindsShowTheirState) {
    host->Show(*dialog);
    auto* combo = WidgetOf<QComboBox>(kCombo);
    auto* editCombo = WidgetOf<QComboBox>(kEditCombo);
    EXPECT_FALSE(combo->isEditable());
    EXPECT_TRUE(editCombo->isEditable());
    ASSERT_EQ(editCombo->count(), 2);
    EXPECT_EQ(editCombo->itemText(0), "Dynamic");  // sorted
    dialog->Item(kCombo).SetSelection(1);
    dialog->Item(kCombo).DeleteItem(0);
    dialog->Item(kEditCombo).SetText("typed");
    dialog->Item(kMultiEdit).SetText("Laminate Menu:\r\n  Current Menu");
    dialog->Item(kEdit).Enable(false);
    dialog->Item(kProgress).SetRange(0, 200);
    dialog->Item(kProgress).SetPosition(50);
    dialog->Item(kIp).SetFields({192, 168, -1, 7});
    dialog->Item(kCheck).SetCheck(1);
    Flush();
    ASSERT_EQ(combo->count(), 1);
    EXPECT_EQ(combo->currentIndex(), 0);
    EXPECT_EQ(combo->currentText(), "Card eject via command mode");
    EXPECT_EQ(editCombo->currentText(), "typed");
    auto* multi = WidgetOf<QPlainTextEdit>(kMultiEdit);
    EXPECT_EQ(multi->toPlainText(), "Laminate Menu:\n  Current Menu");
    EXPECT_EQ(multi->document()->blockCount(), 2);
    EXPECT_FALSE(WidgetOf(kEdit)->isEnabled());
    EXPECT_EQ(WidgetOf<QProgressBar>(kProgress)->maximum(), 200);
    EXPECT_EQ(WidgetOf<QProgressBar>(kProgress)->value(), 50);
    auto* ip = dynamic_cast<IpAddressEdit*>(host->WidgetById(*dialog, kIp));
    EXPECT_EQ(ip->Field(0)->text(), "192");
    EXPECT_EQ(ip->Field(2)->text(), "");
    EXPECT_EQ(ip->Field(3)->text(), "7");
    EXPECT_TRUE(WidgetOf<QCheckBox>(kCheck)->isChecked());
    // A progress range that collapses shows an empty bar, not a busy indicator.
    dialog->Item(kProgress).SetRange(0, 0);
    Flush();
    EXPECT_LT(WidgetOf<QProgressBar>(kProgress)->minimum(),
              WidgetOf<QProgressBar>(kProgress)->maximum());
}

TEST_F(QtHostLayout, ReportListIsAGridWithFullRowSelectionAndTheColumnWidths) {
    host->Show(*dialog);
    Control& report = dialog->Item(kReport);
    report.InsertColumn(0, "Parameter name", 140);
    report.InsertColumn(1, "Setting value", 90);
    report.InsertRow(0, "Main version");
    report.InsertRow(1, "Main boot");
    report.SetCell(1, 1, "V2.1");
    Flush();
    auto* list = WidgetOf<QTableWidget>(kReport);
    EXPECT_TRUE(list->showGrid());
    EXPECT_EQ(list->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(list->selectionMode(), QAbstractItemView::SingleSelection);
    EXPECT_EQ(list->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_FALSE(list->verticalHeader()->isVisible());
    EXPECT_EQ(list->columnWidth(0), 140);
    EXPECT_EQ(list->columnWidth(1), 90);
    EXPECT_EQ(list->horizontalHeaderItem(1)->text(), "Setting value");
    ASSERT_EQ(list->rowCount(), 2);
    EXPECT_EQ(list->item(1, 1)->text(), "V2.1");
    EXPECT_FALSE(list->item(1, 1)->flags() & Qt::ItemIsEditable);
    report.DeleteAllRows();
    Flush();
    EXPECT_EQ(list->rowCount(), 0);
}

TEST_F(QtHostLayout, ScreenshotIsAPngOfTheWindow) {
    QWidget* window = host->Show(*dialog);
    const auto path = std::filesystem::temp_directory_path() / "pellacor_qt_shot_test.png";
    ASSERT_TRUE(SaveWindowPng(window, path.string()));
    QImage image(QString::fromStdString(path.string()));
    std::filesystem::remove(path);
    EXPECT_EQ(image.size(), window->size());
    EXPECT_FALSE(SaveWindowPng(nullptr, path.string()));
}

TEST(QtFileFilter, DialogFiltersBecomeQtFilters) {
    EXPECT_EQ(ToQtFileFilter("(*.mot)|*.mot||"), "(*.mot)");
    EXPECT_EQ(ToQtFileFilter("Firmware (*.mot)|*.mot||"), "Firmware (*.mot)");
    EXPECT_EQ(ToQtFileFilter("|*.mot||"), "(*.mot)");
    EXPECT_EQ(ToQtFileFilter("Firmware|*.mot;*.bin|All files|*.*||"),
              "Firmware (*.mot *.bin);;All files (*.*)");
    EXPECT_EQ(ToQtFileFilter(""), "");
}

TEST(QtBaseUnits, CornersAreConvertedSoNeighboursStayFlush) {
    const BaseUnits units(7, 15);
    const QRect left = units.ToPixels({0, 0, 3, 3});
    const QRect right = units.ToPixels({3, 3, 3, 3});
    EXPECT_EQ(left.x() + left.width(), right.x());
    EXPECT_EQ(left.y() + left.height(), right.y());
    EXPECT_EQ(units.X(550), 963);  // 550 * 7 / 4 rounded
    EXPECT_EQ(units.Y(372), 698);  // 372 * 15 / 8 rounded
}

}  // namespace
}  // namespace qthost_test
