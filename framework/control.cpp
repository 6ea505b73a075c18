#include "framework/control.h"

#include <algorithm>

#include "framework/dialog.h"
#include "framework/dialog_host.h"

template <class F>
auto Control::Read(F&& f) const {
    std::lock_guard lock(m_dialog->StateMutex());
    return f(static_cast<const Dialog&>(*m_dialog).StateAt(m_index));
}

template <class F>
auto Control::Change(F&& f) {
    using R = decltype(f(m_dialog->StateAt(m_index)));
    if constexpr (std::is_void_v<R>) {
        {
            std::lock_guard lock(m_dialog->StateMutex());
            f(m_dialog->StateAt(m_index));
        }
        m_dialog->NotifyChanged(m_index);
    } else {
        R result;
        {
            std::lock_guard lock(m_dialog->StateMutex());
            result = f(m_dialog->StateAt(m_index));
        }
        m_dialog->NotifyChanged(m_index);
        return result;
    }
}

int Control::Id() const {
    return Read([](const ControlState& s) { return s.id; });
}
ControlState Control::Snapshot() const {
    return Read([](const ControlState& s) { return s; });
}
std::string Control::GetText() const {
    return Read([](const ControlState& s) { return s.text; });
}
void Control::SetText(const std::string& text) {
    Change([&](ControlState& s) { s.text = text; });
}
bool Control::IsEnabled() const {
    return Read([](const ControlState& s) { return s.enabled; });
}
void Control::Enable(bool enabled) {
    Change([&](ControlState& s) { s.enabled = enabled; });
}
bool Control::IsVisible() const {
    return Read([](const ControlState& s) { return s.visible; });
}
void Control::Show(bool visible) {
    Change([&](ControlState& s) { s.visible = visible; });
}
int Control::GetCheck() const {
    return Read([](const ControlState& s) { return s.checked; });
}
void Control::SetCheck(int checked) {
    Change([&](ControlState& s) { s.checked = checked; });
}
void Control::SetFont(const std::string& face, int tenthPoints) {
    Change([&](ControlState& s) {
        s.fontFace = face;
        s.fontTenthPoints = tenthPoints;
    });
}
void Control::SetFocus() {
    m_dialog->SetFocusIndex(m_index);
}
bool Control::HasFocus() const {
    return m_dialog->FocusIndex() == m_index;
}

int Control::AddItem(const std::string& text) {
    return Change([&](ControlState& s) {
        auto at = s.items.end();
        if (s.styles & kStyleSort)
            at = std::upper_bound(s.items.begin(), s.items.end(), text);
        const auto inserted = s.items.insert(at, text);
        return static_cast<int>(inserted - s.items.begin());
    });
}
int Control::InsertItem(int index, const std::string& text) {
    return Change([&](ControlState& s) {
        if (index < 0 || index > static_cast<int>(s.items.size()))
            index = static_cast<int>(s.items.size());
        s.items.insert(s.items.begin() + index, text);
        return index;
    });
}
bool Control::DeleteItem(int index) {
    return Change([&](ControlState& s) {
        if (index < 0 || index >= static_cast<int>(s.items.size()))
            return false;
        s.items.erase(s.items.begin() + index);
        if (s.selection == index)
            s.selection = -1;
        else if (s.selection > index)
            --s.selection;
        if (s.caret >= static_cast<int>(s.items.size()))
            s.caret = static_cast<int>(s.items.size()) - 1;
        return true;
    });
}
void Control::ResetItems() {
    Change([](ControlState& s) {
        s.items.clear();
        s.selection = -1;
        s.caret = -1;
    });
}
int Control::ItemCount() const {
    return Read([](const ControlState& s) { return static_cast<int>(s.items.size()); });
}
std::string Control::ItemText(int index) const {
    return Read([&](const ControlState& s) {
        if (index < 0 || index >= static_cast<int>(s.items.size()))
            return std::string();
        return s.items[static_cast<std::size_t>(index)];
    });
}
int Control::GetSelection() const {
    return Read([](const ControlState& s) { return s.selection; });
}
bool Control::SetSelection(int index) {
    return Change([&](ControlState& s) {
        // A list view selects among its rows, the other lists among their items.
        const std::size_t count = s.kind == ControlKind::ListView ? s.rows.size() : s.items.size();
        if (index < -1 || index >= static_cast<int>(count))
            return false;
        s.selection = index;
        if (index >= 0)
            s.caret = index;
        // A drop-down list without an edit field shows the selected item as its text.
        if (s.kind == ControlKind::ComboBox)
            s.text = index >= 0 ? s.items[static_cast<std::size_t>(index)] : std::string();
        return true;
    });
}
int Control::GetCaret() const {
    return Read([](const ControlState& s) { return s.caret; });
}

int Control::InsertColumn(int index, const std::string& heading, int widthPixels, bool centred) {
    return Change([&](ControlState& s) {
        if (index < 0 || index > static_cast<int>(s.columns.size()))
            index = static_cast<int>(s.columns.size());
        s.columns.insert(s.columns.begin() + index, ListColumn{heading, widthPixels, centred});
        for (auto& row : s.rows)
            row.resize(s.columns.size());
        return index;
    });
}
int Control::ColumnCount() const {
    return Read([](const ControlState& s) { return static_cast<int>(s.columns.size()); });
}
int Control::InsertRow(int index, const std::string& firstCell) {
    return Change([&](ControlState& s) {
        if (index < 0)
            return -1;
        if (index > static_cast<int>(s.rows.size()))
            index = static_cast<int>(s.rows.size());
        std::vector<std::string> row(std::max<std::size_t>(1, s.columns.size()));
        row[0] = firstCell;
        s.rows.insert(s.rows.begin() + index, std::move(row));
        return index;
    });
}
bool Control::DeleteAllRows() {
    return Change([](ControlState& s) {
        s.rows.clear();
        s.selection = -1;
        return true;
    });
}
int Control::RowCount() const {
    return Read([](const ControlState& s) { return static_cast<int>(s.rows.size()); });
}
bool Control::SetCell(int row, int column, const std::string& text) {
    return Change([&](ControlState& s) {
        if (row < 0 || row >= static_cast<int>(s.rows.size()) || column < 0 ||
            column >= static_cast<int>(std::max<std::size_t>(1, s.columns.size())))
            return false;
        auto& cells = s.rows[static_cast<std::size_t>(row)];
        if (cells.size() <= static_cast<std::size_t>(column))
            cells.resize(static_cast<std::size_t>(column) + 1);
        cells[static_cast<std::size_t>(column)] = text;
        return true;
    });
}
std::string Control::GetCell(int row, int column) const {
    return Read([&](const ControlState& s) {
        if (row < 0 || row >= static_cast<int>(s.rows.size()) || column < 0)
            return std::string();
        const auto& cells = s.rows[static_cast<std::size_t>(row)];
        if (static_cast<std::size_t>(column) >= cells.size())
            return std::string();
        return cells[static_cast<std::size_t>(column)];
    });
}
void Control::SetStyles(std::uint32_t styles) {
    Change([&](ControlState& s) { s.styles = styles; });
}
std::uint32_t Control::GetStyles() const {
    return Read([](const ControlState& s) { return s.styles; });
}

void Control::SetRange(int low, int high) {
    Change([&](ControlState& s) {
        s.rangeLow = low;
        s.rangeHigh = high;
    });
}
int Control::GetPosition() const {
    return Read([](const ControlState& s) { return s.position; });
}
void Control::SetPosition(int position) {
    Change([&](ControlState& s) { s.position = position; });
}

void Control::SetAddress(std::uint32_t packed) {
    Change([&](ControlState& s) {
        for (int i = 0; i < 4; ++i)
            s.ipFields[static_cast<std::size_t>(i)] =
                static_cast<int>((packed >> (8 * (3 - i))) & 0xFF);
    });
}
std::uint32_t Control::GetAddress() const {
    return Read([](const ControlState& s) {
        std::uint32_t packed = 0;
        for (int field : s.ipFields)
            packed = (packed << 8) | static_cast<std::uint32_t>(std::clamp(field, 0, 255));
        return packed;
    });
}
void Control::SetFields(const std::array<int, 4>& fields) {
    Change([&](ControlState& s) { s.ipFields = fields; });
}
std::array<int, 4> Control::GetFields() const {
    return Read([](const ControlState& s) { return s.ipFields; });
}

void Control::MoveTo(const PixelRect& rect) {
    Change([&](ControlState& s) { s.pixelRect = rect; });
}
PixelRect Control::GetPixelRect() const {
    return Read([](const ControlState& s) { return s.pixelRect; });
}
void Control::SetId(int id) {
    Change([&](ControlState& s) { s.id = id; });
}
