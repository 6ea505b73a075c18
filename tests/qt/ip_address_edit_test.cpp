// The IP address control as a user types into it: a dot or a third digit moves on,
// Backspace in an empty field goes back, and no field holds more than 255.
#include "qt/ip_address_edit.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>

#include "qt_test_support.h"

namespace qthost_test {
namespace {

// Sends each character to whichever field has the keyboard focus, as typing does.
void TypeAtFocus(const QString& text) {
    for (QChar c : text) {
        QWidget* target = QApplication::focusWidget();
        ASSERT_NE(target, nullptr);
        QKeyEvent press(QEvent::KeyPress, c == '.' ? Qt::Key_Period : 0, Qt::NoModifier,
                        QString(c));
        QApplication::sendEvent(target, &press);
    }
}

void BackspaceAtFocus() {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Backspace, Qt::NoModifier);
    QApplication::sendEvent(QApplication::focusWidget(), &press);
}

class IpAddressControl : public ::testing::Test {
  protected:
    void SetUp() override {
        App();
        edit = std::make_unique<IpAddressEdit>();
        edit->show();
        edit->activateWindow();
        ASSERT_TRUE(PumpUntil([&] { return QApplication::activeWindow() == edit.get(); }));
        edit->Field(0)->setFocus();
        ASSERT_TRUE(PumpUntil([&] { return edit->Field(0)->hasFocus(); }));
    }
    std::unique_ptr<IpAddressEdit> edit;
};

TEST_F(IpAddressControl, DotsAndThirdDigitsMoveToTheNextField) {
    TypeAtFocus("192168.1.7");
    EXPECT_EQ(edit->Fields(), (std::array<int, 4>{192, 168, 1, 7}));
    EXPECT_TRUE(edit->Field(3)->hasFocus());
}

TEST_F(IpAddressControl, BackspaceInAnEmptyFieldGoesBack) {
    TypeAtFocus("10.");
    EXPECT_TRUE(edit->Field(1)->hasFocus());
    BackspaceAtFocus();
    EXPECT_TRUE(edit->Field(0)->hasFocus());
    BackspaceAtFocus();
    EXPECT_EQ(edit->Fields()[0], 1);
    EXPECT_EQ(edit->Fields()[1], -1);  // blank, read as 0 by the program
}

TEST_F(IpAddressControl, AFieldNeverHoldsMoreThan255) {
    TypeAtFocus("999.300.256.1000");
    for (int field : edit->Fields())
        EXPECT_LE(field, 255);
    EXPECT_EQ(edit->Fields(), (std::array<int, 4>{255, 255, 255, 100}));
}

TEST_F(IpAddressControl, RetypingAShownAddress) {
    edit->SetFields({127, 0, 0, 1});
    edit->Field(0)->selectAll();
    TypeAtFocus("192.168.1.7");
    EXPECT_EQ(edit->Fields(), (std::array<int, 4>{192, 168, 1, 7}));
}

}  // namespace
}  // namespace qthost_test
