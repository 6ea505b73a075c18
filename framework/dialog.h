#pragma once
// Our dialog: controls built from a template, data exchange in both directions, a message
// map, posted messages delivered on the window thread, and key pre-translation.
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "framework/control.h"
#include "framework/dialog_host.h"
#include "framework/dialog_template.h"
#include "framework/message_map.h"

class Dialog;

// A control subclass: sees the events of the controls it is attached to before the dialog.
class ControlHandler {
  public:
    virtual ~ControlHandler() = default;
    // Called on the window thread; true when handled (then `result` is the answer).
    virtual bool OnControlEvent(const Event& e, long& result) = 0;
    // Called by DataExchange::Bind when the handler is attached to its control.
    virtual void Attach(Control& control) = 0;
};

class DataExchange {
  public:
    DataExchange(Dialog& dialog, bool saving) : m_dialog(dialog), m_saving(saving) {}
    bool IsSaving() const { return m_saving; }
    void Text(int id, std::string& value);
    void Check(int id, int& value);
    // For a value workers read while the window exchanges it.
    void Check(int id, std::atomic<int>& value);
    void Bind(int id, Control*& member);
    void Bind(int id, ControlHandler& handler);

  private:
    Dialog& m_dialog;
    bool m_saving;
};

class Dialog {
  public:
    explicit Dialog(DialogTemplate dialogTemplate, DialogHost* host = nullptr);
    virtual ~Dialog();
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    const DialogTemplate& Template() const { return m_template; }
    DialogHost& Host() const { return *m_host; }

    // Controls. Item() of an unknown id returns a detached dummy, so a typo cannot crash.
    Control& Item(int id);
    Control* Find(int id);
    std::size_t ControlCount() const;
    Control& At(std::size_t index);
    ControlState SnapshotAt(std::size_t index) const;
    // Creates a hidden in-place child over control `parentId`; returns it.
    Control& CreateChild(int parentId, ControlKind kind, int childId, std::uint32_t styles);
    void DestroyChild(Control& child);

    // Lifecycle, on the window thread.
    int DoModal();
    // The host calls this once the dialog's controls exist: OnInitDialog.
    bool Initialize();
    virtual bool OnInitDialog();
    virtual void DoDataExchange(DataExchange& dx);
    bool UpdateData(bool saveAndValidate = true);
    void EndDialog(int result);
    virtual void OnOK();
    virtual void OnCancel();

    // Events, on the window thread. Control handlers first, then the message map.
    long Dispatch(const Event& e);
    // Key filtering: true when the key was swallowed.
    virtual bool PreTranslateMessage(const KeyEvent& key);
    // What the host calls for a key-down: pre-translation, then Return is OK and Escape
    // is Cancel, as a dialog does by default. True when the key was consumed.
    bool HandleKeyDown(const KeyEvent& key);

    // Items the host adds to the window's menu (the system menu on other desktops); choosing
    // one dispatches Notify::SysCommand with its id.
    void AppendSystemMenuItem(int commandId, const std::string& text);
    std::vector<std::pair<int, std::string>> SystemMenuItems() const;
    // The window icon the host shows, by resource id (0: none).
    void SetIconResource(int resourceId);
    int IconResource() const;

    // Any thread.
    void PostMessage(int message, long wParam = 0, long lParam = 0);
    void PostToControl(Control& control, int message, long wParam = 0, long lParam = 0);
    void PostWork(std::function<void()> work);

    // Focus, on the window thread. Moving it sends KillFocus to the control that had it.
    void SetFocusIndex(int index);
    int FocusIndex() const;
    int FocusedId() const;

    // For Control: the lock behind every control's state, and change notification.
    std::mutex& StateMutex() const { return m_mutex; }
    ControlState& StateAt(int index) { return m_states[static_cast<std::size_t>(index)]; }
    const ControlState& StateAt(int index) const {
        return m_states[static_cast<std::size_t>(index)];
    }
    void NotifyChanged(int index);
    void AttachHandler(Control& control, ControlHandler& handler);

  protected:
    // Derived dialogs route through their message map here.
    virtual bool OnEvent(const Event& e, long& result);

  private:
    DialogTemplate m_template;
    DialogHost* m_host;
    mutable std::mutex m_mutex;
    std::deque<ControlState> m_states;  // stable addresses
    std::deque<std::unique_ptr<Control>> m_controls;
    std::vector<ControlHandler*> m_handlers;  // per control index
    std::unique_ptr<Control> m_dummy;
    int m_focusIndex = -1;
    std::vector<std::pair<int, std::string>> m_systemMenu;
    int m_iconResource = 0;
    int m_result = IDCANCEL;
};
