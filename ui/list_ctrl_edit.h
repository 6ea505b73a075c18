#pragma once
// The in-place edit box: on losing the focus it posts UM_EDIT_DONE to its list.
#include "framework/dialog.h"

class CEditableListCtrl;

class CListCtrlEdit : public ControlHandler {
  public:
    explicit CListCtrlEdit(CEditableListCtrl& list) : m_list(list) {}
    void Attach(Control& control) override { m_control = &control; }
    bool OnControlEvent(const Event& e, long& result) override;

  private:
    CEditableListCtrl& m_list;
    Control* m_control = nullptr;
};
