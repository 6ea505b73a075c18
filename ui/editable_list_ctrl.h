#pragma once
// The parameter list with in-place editors: a double-click on an editable value cell opens
// an edit box or a drop-down exactly over the cell; losing the focus commits it.
#include <atomic>

#include "framework/dialog.h"
#include "ui/list_ctrl_combo.h"
#include "ui/list_ctrl_edit.h"

class LaminatorView;

inline constexpr int UM_EDIT_DONE = WM_USER + 101;
inline constexpr int UM_COMBO_DONE = WM_USER + 102;
inline constexpr int IN_PLACE_EDIT_ID = 1001;
inline constexpr int IN_PLACE_COMBO_ID = 1234;
inline constexpr int kComboCreateId = 1002;

struct ListCell {
    int row = -1;
    int column = -1;
};

class CEditableListCtrl : public ControlHandler {
  public:
    // `owner` is the window whose link a Laminate Menu choice is sent over.
    explicit CEditableListCtrl(LaminatorView* owner) : m_owner(owner) {}

    void Attach(Control& control) override;
    bool OnControlEvent(const Event& e, long& result) override;

    void ShowEdit(bool show, int row, int column, const PixelRect& cell);
    bool ShowCombo(int row, int column, const PixelRect& cell);
    long OnEditDone();
    long OnComboDone();
    // True when the double-click was taken here and must not reach the list's own handling.
    bool OnLButtonDblClk(PixelPoint point);
    void OnBeginTrack();
    void OnComboSelChange();

    // Workers read the list while the window thread exchanges data, which binds it again.
    Control* List() const { return m_list.load(); }
    Control* EditBox() const { return m_edit; }
    Control* ComboBox() const { return m_combo; }
    ListCell EditCell() const { return m_editCell; }
    bool EditOpen() const { return m_editOpen; }
    bool ComboOpen() const { return m_comboOpen; }

  private:
    void CommitOpenEditors();

    LaminatorView* m_owner;
    std::atomic<Control*> m_list{nullptr};
    Control* m_edit = nullptr;
    Control* m_combo = nullptr;
    CListCtrlEdit m_editHandler{*this};
    CListCtrlCombo m_comboHandler{*this};
    ListCell m_editCell;
    bool m_editOpen = false;
    bool m_comboOpen = false;
};

// Whether a row of a group gets an editor, and the drop-down choices of a cell (none: edit box).
bool IsEditableRow(const std::string& group, int row);
std::vector<std::string_view> ComboChoices(const std::string& group, int row, int column);
