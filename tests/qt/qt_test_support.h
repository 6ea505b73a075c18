#pragma once
// Shared by the Qt host tests: one QApplication for the process (offscreen), event pumping,
// and a dialog that records what reaches it.
#include <QEvent>
#include <QPoint>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "framework/dialog.h"

class QApplication;
class QWidget;

namespace qthost_test {

QApplication& App();
// Processes GUI events until `done` holds or the time-out passes; false on time-out.
bool PumpUntil(const std::function<bool()>& done,
               std::chrono::milliseconds timeout = std::chrono::milliseconds(3000));
void PumpFor(std::chrono::milliseconds duration);
// A left-button mouse event, and a press with its release, at `pos` in `w`.
void Mouse(QWidget* w, QEvent::Type type, QPoint pos);
void Click(QWidget* w, QPoint pos);

// Ids of the test template.
enum : int {
    kGo = 100,
    kHiddenButton = 101,
    kCheck = 102,
    kEdit = 103,
    kMultiEdit = 104,
    kList = 105,
    kReport = 106,
    kCombo = 107,
    kEditCombo = 108,
    kProgress = 109,
    kIp = 110,
    kHiddenEdit = 111,
    kPercent = 112,
    kOk = IDOK,
    kCancel = IDCANCEL,
};

// A few controls of every kind, two of them hidden, at the given font.
DialogTemplate EveryKindTemplate(const std::string& fontFace = "MS Shell Dlg", int points = 9);

// Records every event and key that reaches it; Clicked of kGo goes through a message map.
class RecordingDialog : public Dialog {
  public:
    explicit RecordingDialog(DialogHost* host, DialogTemplate t = EveryKindTemplate());

    std::vector<Event> events;
    std::vector<KeyEvent> keys;
    int goClicks = 0;
    bool swallowEscape = true;
    bool swallowReturn = false;
    // What the kGo state looked like when its click arrived.
    std::vector<int> checkSeenAtClick;
    std::vector<std::string> editSeenAtChange;

    std::vector<Event> EventsOf(Notify code) const;

  protected:
    bool OnEvent(const Event& e, long& result) override;
    bool PreTranslateMessage(const KeyEvent& key) override;

  private:
    void OnGo();
};

// Records the events a control handler sees (KillFocus reaches only handlers).
class RecordingHandler : public ControlHandler {
  public:
    bool OnControlEvent(const Event& e, long& result) override;
    void Attach(Control& control) override { attached = &control; }
    std::vector<Event> events;
    Control* attached = nullptr;
};

}  // namespace qthost_test
