#include "qt_test_support.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QThread>
#include <QWidget>
#include <cstdlib>

namespace qthost_test {

QApplication& App() {
    // Nobody looks at the screen in a test run.
    static int argc = 1;
    static char name[] = "pellacor_qt_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        return new QApplication(argc, argv);
    }();
    return *app;
}

bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    QElapsedTimer timer;
    timer.start();
    for (;;) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        if (done())
            return true;
        if (timer.elapsed() > timeout.count())
            return false;
        QThread::msleep(1);
    }
}

void Mouse(QWidget* w, QEvent::Type type, QPoint pos) {
    QMouseEvent e(type, QPointF(pos), w->mapToGlobal(QPointF(pos)), Qt::LeftButton,
                  type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                  Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

void Click(QWidget* w, QPoint pos) {
    Mouse(w, QEvent::MouseButtonPress, pos);
    Mouse(w, QEvent::MouseButtonRelease, pos);
}

void PumpFor(std::chrono::milliseconds duration) {
    PumpUntil([] { return false; }, duration);
}

DialogTemplate EveryKindTemplate(const std::string& fontFace, int points) {
    DialogTemplate t;
    t.resourceId = 900;
    t.title = "Pellacor test (V1.0）";
    t.fontFace = fontFace;
    t.fontPoints = points;
    t.width = 400;
    t.height = 250;
    t.controls = {
        {kStaticId, ControlKind::GroupBox, "Frame", {4, 4, 200, 120}, kStyleNone, true},
        {kStaticId, ControlKind::StaticText, "Path：", {10, 16, 40, 10}, kStyleNone, true},
        {kGo, ControlKind::PushButton, "Go", {20, 30, 50, 14}, kStyleTabStop, true},
        {kHiddenButton, ControlKind::PushButton, "Secret", {40, 30, 50, 14}, kStyleNone, false},
        {kCheck, ControlKind::CheckBox, "HID device", {10, 50, 60, 10}, kStyleTabStop, true},
        {kEdit, ControlKind::Edit, "", {80, 50, 80, 12}, kStyleAutoHScroll, true},
        {kMultiEdit,
         ControlKind::Edit,
         "",
         {10, 66, 150, 40},
         kStyleMultiLine | kStyleWantReturn,
         true},
        {kList, ControlKind::ListBox, "", {210, 4, 80, 60}, kStyleNotify | kStyleVScroll, true},
        {kReport,
         ControlKind::ListView,
         "",
         {210, 70, 180, 100},
         kStyleReport | kStyleSingleSelection | kStyleGridLines | kStyleFullRowSelect,
         true},
        {kCombo,
         ControlKind::ComboBox,
         "",
         {10, 130, 100, 60},
         kStyleDropDownList | kStyleVScroll,
         true},
        {kEditCombo,
         ControlKind::ComboBox,
         "",
         {120, 130, 80, 60},
         kStyleDropDown | kStyleSort,
         true},
        {kProgress, ControlKind::ProgressBar, "", {10, 150, 100, 10}, kStyleNone, true},
        {kIp, ControlKind::IpAddress, "", {120, 150, 80, 12}, kStyleNone, true},
        {kHiddenEdit, ControlKind::Edit, "hidden text", {10, 170, 30, 12}, kStyleNone, false},
        {kPercent, ControlKind::StaticText, "", {50, 170, 20, 10}, kStyleNone, true},
        {kOk, ControlKind::DefaultPushButton, "OK", {290, 220, 50, 14}, kStyleTabStop, true},
        {kCancel, ControlKind::PushButton, "Cancel", {345, 220, 50, 14}, kStyleTabStop, true},
    };
    t.comboItems = {{kCombo, {"Standard mode", "Card eject via command mode"}},
                    {kEditCombo, {"Static", "Dynamic"}}};
    return t;
}

RecordingDialog::RecordingDialog(DialogHost* host, DialogTemplate t) : Dialog(std::move(t), host) {}

std::vector<Event> RecordingDialog::EventsOf(Notify code) const {
    std::vector<Event> out;
    for (const Event& e : events) {
        if (e.code == code)
            out.push_back(e);
    }
    return out;
}

void RecordingDialog::OnGo() {
    ++goClicks;
    checkSeenAtClick.push_back(Item(kCheck).GetCheck());
}

bool RecordingDialog::OnEvent(const Event& e, long& result) {
    events.push_back(e);
    if (e.code == Notify::EditChange && e.id == kEdit)
        editSeenAtChange.push_back(Item(kEdit).GetText());
    if (e.code == Notify::Clicked && e.id == kCheck)
        checkSeenAtClick.push_back(Item(kCheck).GetCheck());
    static const MessageMap<RecordingDialog> map = {
        On(Notify::Clicked, kGo, &RecordingDialog::OnGo),
    };
    return DispatchThrough(map, *this, e, result);
}

bool RecordingDialog::PreTranslateMessage(const KeyEvent& key) {
    keys.push_back(key);
    if (key.key == Key::Escape)
        return swallowEscape;
    if (key.key == Key::Return)
        return swallowReturn;
    return false;
}

bool RecordingHandler::OnControlEvent(const Event& e, long&) {
    events.push_back(e);
    return false;
}

}  // namespace qthost_test
