#include "ui/editable_list_ctrl.h"

#include "framework/worker.h"
#include "laminator/catalogue.h"
#include "laminator/laminate_menu_sender.h"
#include "laminator/param_store.h"

bool IsEditableRow(const std::string& group, int row) {
    const ParameterInfo* p = FindParameter(group, row);
    return p && p->editor != Editor::None;
}

std::vector<std::string_view> ComboChoices(const std::string& group, int row, int column) {
    const ParameterInfo* p = FindParameter(group, row);
    if (column != 1 || !p || p->editor != Editor::DropDown)
        return {};
    return p->choices;
}

void CEditableListCtrl::Attach(Control& control) {
    // Bound once: every later exchange binds the same control again.
    Control* none = nullptr;
    m_list.compare_exchange_strong(none, &control);
}

bool CEditableListCtrl::OnControlEvent(const Event& e, long& result) {
    result = 0;
    switch (e.code) {
        case Notify::DblClick:
            return OnLButtonDblClk(e.point);
        case Notify::BeginTrack:
        case Notify::Scroll:
            // Commit, then let the header track or the list scroll as usual.
            CommitOpenEditors();
            return false;
        case Notify::User:
            if (e.id == UM_EDIT_DONE)
                result = OnEditDone();
            else if (e.id == UM_COMBO_DONE)
                result = OnComboDone();
            else
                return false;
            return true;
        default:
            return false;
    }
}

bool CEditableListCtrl::OnLButtonDblClk(PixelPoint point) {
    if (!List())
        return false;
    Dialog& dialog = List()->Owner();
    const int listId = List()->Id();
    const CellHit hit = dialog.Host().HitTestCell(dialog, listId, point);
    m_editCell = {hit.row, hit.column};
    const PixelRect cell =
        dialog.Host().CellRect(dialog, listId, hit.row, hit.column).value_or(PixelRect{});
    if (!IsEditableRow(CurrentGroup(), m_editCell.row))
        return true;
    if (m_editCell.column == 1 && !ShowCombo(m_editCell.row, 1, cell))
        ShowEdit(true, m_editCell.row, 1, cell);
    return false;
}

void CEditableListCtrl::ShowEdit(bool show, int row, int column, const PixelRect& cell) {
    m_editOpen = show;
    Dialog& dialog = List()->Owner();
    if (!m_edit) {
        m_edit = &dialog.CreateChild(List()->Id(), ControlKind::Edit, IN_PLACE_EDIT_ID,
                                     kStyleBorder | kStyleAutoHScroll | kStyleWantReturn);
        dialog.AttachHandler(*m_edit, m_editHandler);
    }
    if (!show) {
        m_edit->Show(false);
        return;
    }
    m_edit->SetText(List()->GetCell(row, column));
    m_edit->MoveTo(cell);
    m_edit->Show(true);
    m_edit->SetFocus();
}

bool CEditableListCtrl::ShowCombo(int row, int column, const PixelRect& cell) {
    Dialog& dialog = List()->Owner();
    if (m_combo) {
        dialog.DestroyChild(*m_combo);
        m_combo = nullptr;
        m_comboOpen = false;
    }
    const std::vector<std::string_view> choices = ComboChoices(CurrentGroup(), row, column);
    if (choices.empty())
        return false;
    m_combo = &dialog.CreateChild(List()->Id(), ControlKind::ComboBox, kComboCreateId,
                                  kStyleDropDownList | kStyleAutoHScroll);
    dialog.AttachHandler(*m_combo, m_comboHandler);
    for (std::string_view choice : choices)
        m_combo->AddItem(std::string(choice));
    m_combo->MoveTo(cell);
    m_combo->Show(true);
    m_combo->SetFocus();
    m_combo->SetId(IN_PLACE_COMBO_ID);
    m_comboOpen = true;
    const std::string current = List()->GetCell(row, column);
    for (std::size_t i = 0; i < choices.size(); ++i) {
        if (choices[i] == current) {
            m_combo->SetSelection(static_cast<int>(i));
            break;
        }
    }
    return true;
}

long CEditableListCtrl::OnEditDone() {
    // A late done-message of an editor already committed (a hidden box that still had the
    // focus loses it later) must not write its old text into the cell edited since.
    if (!m_edit || !m_editOpen)
        return 0;
    List()->SetCell(m_editCell.row, m_editCell.column, m_edit->GetText());
    ShowEdit(false, -1, -1, PixelRect{});
    return 0;
}

long CEditableListCtrl::OnComboDone() {
    if (!m_combo || !m_comboOpen)
        return 0;
    const int selected = m_combo->GetSelection();
    if (selected >= 0)
        List()->SetCell(m_editCell.row, m_editCell.column, m_combo->ItemText(selected));
    m_combo->Show(false);
    m_comboOpen = false;
    return 0;
}

void CEditableListCtrl::OnBeginTrack() {
    CommitOpenEditors();
}

void CEditableListCtrl::CommitOpenEditors() {
    if (m_edit && m_editOpen)
        OnEditDone();
    if (m_combo && m_comboOpen)
        OnComboDone();
}

void CEditableListCtrl::OnComboSelChange() {
    if (CurrentGroup() != kGroupParameterSetup || m_editCell.row != 0 || m_editCell.column != 1)
        return;
    if (!m_combo)
        return;
    const std::string text = m_combo->ItemText(m_combo->GetSelection());
    SetSelectedLaminateMenu(text);
    List()->SetCell(0, 1, text);
    if (m_owner)
        StartWorker(&SendLaminateMenu, m_owner, "SendLaminateMenu");
}
