#pragma once
// The main window's side of a connect made in the device list dialog.
#include "netsetup/net_link_owner.h"

class CCorvaneDlg;

class MainWindowLinks : public NetLinkOwner {
  public:
    explicit MainWindowLinks(CCorvaneDlg& window) : m_window(window) {}
    bool UsbPortOpen() override;
    void CloseUsbPort() override;
    bool AutoDetectOn() override;
    void StartNetPoller() override;

  private:
    CCorvaneDlg& m_window;
};
