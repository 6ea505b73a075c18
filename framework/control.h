#pragma once
// A control's state. Any thread may read or change it (the workers do); the state sits
// behind its dialog's lock, and every change tells the host to repaint that control on the
// window thread.
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "framework/dialog_template.h"

class Dialog;

struct ListColumn {
    std::string heading;
    int widthPixels = 0;
    bool centred = false;  // heading and cells centred, else left-aligned
    bool operator==(const ListColumn&) const = default;
};

// Everything a host needs to paint a control; copied out under the dialog lock.
struct ControlState {
    int id = kStaticId;
    ControlKind kind = ControlKind::StaticText;
    std::uint32_t styles = kStyleNone;
    DialogRect rect;       // dialog units, for template controls
    PixelRect pixelRect;   // pixels inside the parent, for in-place children
    int parentIndex = -1;  // in-place children: the control they sit on
    bool destroyed = false;
    std::string text;
    bool enabled = true;
    bool visible = true;
    int checked = 0;
    // List box and combo box.
    std::vector<std::string> items;
    int selection = -1;
    int caret = -1;
    // List view.
    std::vector<ListColumn> columns;
    std::vector<std::vector<std::string>> rows;
    // Progress bar.
    int rangeLow = 0;
    int rangeHigh = 100;
    int position = 0;
    // IP address control: four fields, each -1 when blank.
    std::array<int, 4> ipFields{-1, -1, -1, -1};
    // Font set by the program (face and tenths of a point); empty for the dialog font.
    std::string fontFace;
    int fontTenthPoints = 0;
};

class Control {
  public:
    Control(Dialog& dialog, int index) : m_dialog(&dialog), m_index(index) {}

    int Id() const;
    int Index() const { return m_index; }
    Dialog& Owner() const { return *m_dialog; }
    ControlState Snapshot() const;

    // Common.
    std::string GetText() const;
    void SetText(const std::string& text);
    bool IsEnabled() const;
    void Enable(bool enabled);
    bool IsVisible() const;
    void Show(bool visible);
    int GetCheck() const;
    void SetCheck(int checked);
    void SetFont(const std::string& face, int tenthPoints);
    void SetFocus();
    bool HasFocus() const;

    // List box and combo box.
    int AddItem(const std::string& text);  // appended, or at its sorted place with kStyleSort
    int InsertItem(int index, const std::string& text);
    bool DeleteItem(int index);
    void ResetItems();
    int ItemCount() const;
    std::string ItemText(int index) const;
    int GetSelection() const;
    bool SetSelection(int index);  // -1 clears
    int GetCaret() const;

    // List view.
    int InsertColumn(int index, const std::string& heading, int widthPixels, bool centred = false);
    int ColumnCount() const;
    int InsertRow(int index, const std::string& firstCell);  // row index, or -1
    bool DeleteAllRows();
    int RowCount() const;
    bool SetCell(int row, int column, const std::string& text);  // false for an invalid cell
    std::string GetCell(int row, int column) const;
    void SetStyles(std::uint32_t styles);
    std::uint32_t GetStyles() const;

    // Progress bar.
    void SetRange(int low, int high);
    int GetPosition() const;
    void SetPosition(int position);

    // IP address control; a blank field reads as 0.
    void SetAddress(std::uint32_t packedFirstFieldHighest);
    std::uint32_t GetAddress() const;
    void SetFields(const std::array<int, 4>& fields);
    std::array<int, 4> GetFields() const;

    // In-place children (the editors over a list cell).
    void MoveTo(const PixelRect& rect);
    PixelRect GetPixelRect() const;
    void SetId(int id);

  private:
    template <class F>
    auto Read(F&& f) const;
    template <class F>
    auto Change(F&& f);

    Dialog* m_dialog;
    int m_index;
};
