#pragma once
// The in-place drop-down: on losing the focus it posts UM_COMBO_DONE to its list; its
// selection changes go to the list, as a child's notifications go to its parent.
#include "framework/dialog.h"

class CEditableListCtrl;

class CListCtrlCombo : public ControlHandler {
  public:
    explicit CListCtrlCombo(CEditableListCtrl& list) : m_list(list) {}
    void Attach(Control& control) override { m_control = &control; }
    bool OnControlEvent(const Event& e, long& result) override;

  private:
    CEditableListCtrl& m_list;
    Control* m_control = nullptr;
};
