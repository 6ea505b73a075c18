#pragma once
// The about box, shown modally from the window's menu.
#include "framework/dialog.h"

class CAboutDlg : public Dialog {
  public:
    explicit CAboutDlg(DialogHost* host = nullptr);
};
