#include "ui/list_ctrl_combo.h"

#include "ui/editable_list_ctrl.h"

bool CListCtrlCombo::OnControlEvent(const Event& e, long&) {
    if (!m_list.List())
        return false;
    if (e.code == Notify::KillFocus) {
        m_list.List()->Owner().PostToControl(*m_list.List(), UM_COMBO_DONE);
        return true;
    }
    if (e.code == Notify::SelChange && e.id == IN_PLACE_COMBO_ID) {
        m_list.OnComboSelChange();
        return true;
    }
    return false;
}
