#include "app/main_window_links.h"

#include "app/app_state.h"
#include "app/control_ids.h"
#include "app/corvane_dlg.h"
#include "laminator/mode_resender.h"
#include "link/link_flags.h"
#include "link/usb_link.h"

bool MainWindowLinks::UsbPortOpen() {
    return m_window.PortTakenAsOpen();
}

void MainWindowLinks::CloseUsbPort() {
    RequestModeResenderStop();  // it would open the port again under the connection
    CloseUsbLink();
    m_window.EnableButton(kIdActivatePort, true);  // the port state follows
    UsbLinkActive.store(0);
}

bool MainWindowLinks::AutoDetectOn() {
    return AutoDetectEnabled.load() != 0;
}

void MainWindowLinks::StartNetPoller() {
    m_window.PostMessage(kMsgStartNetPoller);
}
