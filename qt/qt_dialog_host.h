#pragma once
// The Qt host: every dialog becomes a real window, every control a widget at its
// dialog-unit rectangle. Control state changes from any thread are coalesced into one
// queued flush per dialog on the GUI thread; user input goes back as state changes and
// events through the dialog.
#include <QPointer>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "framework/control.h"
#include "framework/dialog_host.h"
#include "qt/base_units.h"

class QObject;
class QWidget;
class DialogWindow;
struct DialogRecord;

class QtDialogHost : public DialogHost {
  public:
    // Create on the GUI thread, after the QApplication.
    QtDialogHost();
    ~QtDialogHost() override;
    QtDialogHost(const QtDialogHost&) = delete;
    QtDialogHost& operator=(const QtDialogHost&) = delete;

    void ControlChanged(Dialog& dialog, int index) override;
    void Post(Dialog& dialog, std::function<void()> work) override;
    int RunModal(Dialog& dialog) override;
    void EndDialog(Dialog& dialog, int result) override;
    CellHit HitTestCell(Dialog& dialog, int controlId, PixelPoint point) override;
    std::optional<PixelRect> CellRect(Dialog& dialog, int controlId, int row, int column) override;
    std::optional<std::string> OpenFileDialog(Dialog& dialog, const std::string& filter) override;
    bool IsWindowThread() const override;

    // GUI thread. Builds, initialises and shows the dialog without a modal loop (tests, the
    // screenshot mode); returns its window. Close() takes it down before the dialog goes.
    QWidget* Show(Dialog& dialog);
    void Close(Dialog& dialog);

    // GUI thread. The window of a shown dialog and the widget of a control, by index.
    QWidget* Window(Dialog& dialog) const;
    QWidget* Widget(Dialog& dialog, int index) const;
    QWidget* WidgetById(Dialog& dialog, int id) const;
    // The result a shown dialog ended with; nullopt while it runs.
    std::optional<int> EndResult(Dialog& dialog) const;
    // The dialog font's base units of a shown dialog.
    BaseUnits Units(Dialog& dialog) const;
    // Applies pending changes now rather than when the queued flush runs.
    void FlushNow(Dialog& dialog);

  private:
    std::shared_ptr<DialogRecord> Find(const Dialog& dialog) const;
    std::shared_ptr<DialogRecord> Build(Dialog& dialog, bool modal);
    void Tear(const std::shared_ptr<DialogRecord>& record);
    void Flush(DialogRecord& record);
    void CreateWidget(DialogRecord& record, int index, const ControlState& state);
    void SetInitialFocus(DialogRecord& record);
    void OnFocusChanged(QWidget* now);
    bool OnKeyPress(QObject* receiver, int qtKey);

    // GUI thread. Runs the oldest posted work, or all of it: posted messages come before
    // user input, so a commit posted by a focus change lands before the click that caused it.
    bool RunOnePosted();
    void RunAllPosted();

    class KeyFilter;
    QObject* m_context = nullptr;  // lives on the GUI thread; queued work runs through it
    KeyFilter* m_keyFilter = nullptr;
    mutable std::mutex m_mutex;
    std::deque<std::function<void()>> m_posted;  // under m_mutex
    std::map<const Dialog*, std::shared_ptr<DialogRecord>> m_records;
    unsigned long long m_built = 0;
};
