#include "framework/dialog.h"

#include <algorithm>
#include <atomic>

namespace {
std::atomic<DialogHost*> g_defaultHost{nullptr};
}

void SetDefaultDialogHost(DialogHost* host) {
    g_defaultHost.store(host);
}
DialogHost* GetDefaultDialogHost() {
    return g_defaultHost.load();
}

void DataExchange::Text(int id, std::string& value) {
    Control& c = m_dialog.Item(id);
    if (m_saving)
        value = c.GetText();
    else
        c.SetText(value);
}

void DataExchange::Check(int id, int& value) {
    Control& c = m_dialog.Item(id);
    if (m_saving)
        value = c.GetCheck();
    else
        c.SetCheck(value);
}

void DataExchange::Check(int id, std::atomic<int>& value) {
    Control& c = m_dialog.Item(id);
    if (m_saving)
        value.store(c.GetCheck());
    else
        c.SetCheck(value.load());
}

void DataExchange::Bind(int id, Control*& member) {
    member = &m_dialog.Item(id);
}

void DataExchange::Bind(int id, ControlHandler& handler) {
    Control& c = m_dialog.Item(id);
    m_dialog.AttachHandler(c, handler);
}

Dialog::Dialog(DialogTemplate dialogTemplate, DialogHost* host)
    : m_template(std::move(dialogTemplate)), m_host(host ? host : GetDefaultDialogHost()) {
    for (const ControlTemplate& t : m_template.controls) {
        ControlState s;
        s.id = t.id;
        s.kind = t.kind;
        s.styles = t.styles;
        s.rect = t.rect;
        s.text = t.caption;
        s.visible = t.visible;
        m_states.push_back(std::move(s));
    }
    for (const auto& [id, items] : m_template.comboItems) {
        for (ControlState& s : m_states) {
            if (s.id != id)
                continue;
            // Added one by one, as the initialisation data is: a sorted combo sorts them.
            for (const std::string& item : items) {
                auto at = s.items.end();
                if (s.styles & kStyleSort)
                    at = std::upper_bound(s.items.begin(), s.items.end(), item);
                s.items.insert(at, item);
            }
        }
    }
    for (std::size_t i = 0; i < m_states.size(); ++i)
        m_controls.push_back(std::make_unique<Control>(*this, static_cast<int>(i)));
    ControlState dummy;
    dummy.id = kStaticId;
    dummy.destroyed = true;
    dummy.visible = false;
    m_states.push_back(dummy);
    m_dummy = std::make_unique<Control>(*this, static_cast<int>(m_states.size() - 1));
    m_controls.push_back(nullptr);
    m_handlers.resize(m_states.size(), nullptr);
}

Dialog::~Dialog() = default;

Control& Dialog::Item(int id) {
    Control* c = Find(id);
    return c ? *c : *m_dummy;
}

Control* Dialog::Find(int id) {
    if (id == kStaticId)
        return nullptr;
    std::lock_guard lock(m_mutex);
    for (std::size_t i = 0; i < m_states.size(); ++i) {
        if (m_states[i].id == id && !m_states[i].destroyed && m_states[i].parentIndex < 0)
            return m_controls[i].get();
    }
    return nullptr;
}

std::size_t Dialog::ControlCount() const {
    std::lock_guard lock(m_mutex);
    return m_states.size();
}

Control& Dialog::At(std::size_t index) {
    std::lock_guard lock(m_mutex);
    Control* c = m_controls[index].get();
    return c ? *c : *m_dummy;
}

ControlState Dialog::SnapshotAt(std::size_t index) const {
    std::lock_guard lock(m_mutex);
    return m_states[index];
}

Control& Dialog::CreateChild(int parentId, ControlKind kind, int childId, std::uint32_t styles) {
    Control* parent = Find(parentId);
    Control* created = nullptr;
    int index = 0;
    {
        std::lock_guard lock(m_mutex);
        ControlState s;
        s.id = childId;
        s.kind = kind;
        s.styles = styles;
        s.visible = false;
        s.parentIndex = parent ? parent->Index() : -1;
        m_states.push_back(std::move(s));
        index = static_cast<int>(m_states.size() - 1);
        m_controls.push_back(std::make_unique<Control>(*this, index));
        m_handlers.push_back(nullptr);
        created = m_controls.back().get();
    }
    NotifyChanged(index);
    return *created;
}

void Dialog::DestroyChild(Control& child) {
    if (FocusIndex() == child.Index()) {
        std::lock_guard lock(m_mutex);
        m_focusIndex = -1;
    }
    {
        std::lock_guard lock(m_mutex);
        m_states[static_cast<std::size_t>(child.Index())].destroyed = true;
        m_states[static_cast<std::size_t>(child.Index())].visible = false;
        m_handlers[static_cast<std::size_t>(child.Index())] = nullptr;
    }
    NotifyChanged(child.Index());
}

int Dialog::DoModal() {
    m_result = IDCANCEL;
    return m_host->RunModal(*this);
}

bool Dialog::Initialize() {
    return OnInitDialog();
}

bool Dialog::OnInitDialog() {
    UpdateData(false);
    return true;
}

void Dialog::DoDataExchange(DataExchange&) {}

bool Dialog::UpdateData(bool saveAndValidate) {
    DataExchange dx(*this, saveAndValidate);
    DoDataExchange(dx);
    return true;
}

void Dialog::EndDialog(int result) {
    m_result = result;
    m_host->EndDialog(*this, result);
}

void Dialog::OnOK() {
    UpdateData(true);
    EndDialog(IDOK);
}

void Dialog::OnCancel() {
    EndDialog(IDCANCEL);
}

long Dialog::Dispatch(const Event& e) {
    long result = 0;
    const bool fromControl =
        e.code != Notify::User && e.code != Notify::SysCommand && e.code != Notify::Command;
    int index = e.source;
    if (fromControl && index < 0) {
        // In-place children share ids with others, so hosts name them by index.
        Control* c = Find(e.id);
        index = c ? c->Index() : -1;
    }
    ControlHandler* handler = nullptr;
    if (fromControl && index >= 0) {
        std::lock_guard lock(m_mutex);
        handler = m_handlers[static_cast<std::size_t>(index)];
    }
    if (handler && handler->OnControlEvent(e, result))
        return result;
    if (OnEvent(e, result))
        return result;
    // A click on the OK or Cancel button is that command, as a key or the title bar is.
    const bool command = e.code == Notify::Command || e.code == Notify::Clicked;
    if (command && e.id == IDOK)
        OnOK();
    if (command && e.id == IDCANCEL)
        OnCancel();
    return result;
}

bool Dialog::OnEvent(const Event&, long&) {
    return false;
}

bool Dialog::PreTranslateMessage(const KeyEvent&) {
    return false;
}

bool Dialog::HandleKeyDown(const KeyEvent& key) {
    if (PreTranslateMessage(key))
        return true;
    if (key.key == Key::Other)
        return false;
    Event e;
    e.code = Notify::Command;
    e.id = key.key == Key::Return ? IDOK : IDCANCEL;
    Dispatch(e);
    return true;
}

void Dialog::PostMessage(int message, long wParam, long lParam) {
    PostWork([this, message, wParam, lParam] {
        Event e;
        e.code = Notify::User;
        e.id = message;
        e.wParam = wParam;
        e.lParam = lParam;
        Dispatch(e);
    });
}

void Dialog::PostToControl(Control& control, int message, long wParam, long lParam) {
    const int index = control.Index();
    PostWork([this, index, message, wParam, lParam] {
        ControlHandler* handler = nullptr;
        {
            std::lock_guard lock(m_mutex);
            handler = m_handlers[static_cast<std::size_t>(index)];
        }
        if (!handler)
            return;
        Event e;
        e.code = Notify::User;
        e.id = message;
        e.source = index;
        e.wParam = wParam;
        e.lParam = lParam;
        long result = 0;
        handler->OnControlEvent(e, result);
    });
}

void Dialog::PostWork(std::function<void()> work) {
    m_host->Post(*this, std::move(work));
}

void Dialog::SetFocusIndex(int index) {
    int previous = -1;
    {
        std::lock_guard lock(m_mutex);
        previous = m_focusIndex;
        m_focusIndex = index;
    }
    if (previous == index)
        return;
    if (previous >= 0)
        NotifyChanged(previous);
    if (index >= 0)
        NotifyChanged(index);
    if (previous < 0)
        return;
    ControlHandler* handler = nullptr;
    int previousId = 0;
    {
        std::lock_guard lock(m_mutex);
        handler = m_handlers[static_cast<std::size_t>(previous)];
        previousId = m_states[static_cast<std::size_t>(previous)].id;
    }
    Event e;
    e.code = Notify::KillFocus;
    e.id = previousId;
    e.source = previous;
    long result = 0;
    if (handler)
        handler->OnControlEvent(e, result);
}

int Dialog::FocusIndex() const {
    std::lock_guard lock(m_mutex);
    return m_focusIndex;
}

int Dialog::FocusedId() const {
    std::lock_guard lock(m_mutex);
    if (m_focusIndex < 0)
        return 0;
    return m_states[static_cast<std::size_t>(m_focusIndex)].id;
}

void Dialog::NotifyChanged(int index) {
    if (m_host)
        m_host->ControlChanged(*this, index);
}

void Dialog::AttachHandler(Control& control, ControlHandler& handler) {
    {
        std::lock_guard lock(m_mutex);
        m_handlers[static_cast<std::size_t>(control.Index())] = &handler;
    }
    handler.Attach(control);
}

void Dialog::AppendSystemMenuItem(int commandId, const std::string& text) {
    std::lock_guard lock(m_mutex);
    m_systemMenu.emplace_back(commandId, text);
}

std::vector<std::pair<int, std::string>> Dialog::SystemMenuItems() const {
    std::lock_guard lock(m_mutex);
    return m_systemMenu;
}

void Dialog::SetIconResource(int resourceId) {
    std::lock_guard lock(m_mutex);
    m_iconResource = resourceId;
}

int Dialog::IconResource() const {
    std::lock_guard lock(m_mutex);
    return m_iconResource;
}
