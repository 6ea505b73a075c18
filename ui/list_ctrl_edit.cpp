#include "ui/list_ctrl_edit.h"

#include "ui/editable_list_ctrl.h"

bool CListCtrlEdit::OnControlEvent(const Event& e, long&) {
    if (e.code != Notify::KillFocus || !m_list.List())
        return false;
    // Posted, not sent: the commit runs after the focus change has finished.
    m_list.List()->Owner().PostToControl(*m_list.List(), UM_EDIT_DONE);
    return true;
}
