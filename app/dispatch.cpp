// Link selection and the dispatch of the port, Read and Write buttons: the Ethernet link
// first, else the USB path the "HID device" box chose.
#include "app/app_state.h"
#include "app/control_ids.h"
#include "app/corvane_dlg.h"
#include "app/main_window_links.h"
#include "app/operations.h"
#include "framework/message_box.h"
#include "framework/worker.h"
#include "laminator/param_store.h"
#include "link/ethernet_link.h"
#include "link/link_flags.h"
#include "link/usb_link.h"
#include "netsetup/net_work.h"

namespace {
LaminatorView* AsView(CCorvaneDlg* dlg) {
    return static_cast<LaminatorView*>(dlg);
}
}  // namespace

void CCorvaneDlg::OnActivatePort() {
    UpdateData(true);
    if (EthernetLinkActive.load()) {
        MessageBox(std::string(kStringDisconnectNetwork));
        return;
    }
    CloseUsbLink();
    if (m_useHid) {
        if (!OpenHidLink())
            return;  // the link has said why
        Item(kIdActivatePort).Enable(false);
        UsbLinkActive.store(1);
        if (m_autoDetect) {
            ReadOnFirstPoll.store(1);
            StartStatusPoller(&UsbStatusPoller, AsView(this));
        }
        return;
    }
    if (OpenPrinterClassLink())
        Item(kIdActivatePort).Enable(false);
}

void CCorvaneDlg::OnDeactivatePort() {
    // Ended at once in effect: the poller checks its token under the link lock before
    // every exchange, so after this no poller touches the link.
    if (m_autoDetect)
        StopStatusPoller();
    CloseUsbLink();
    Item(kIdActivatePort).Enable(true);
}

void CCorvaneDlg::OnRead() {
    if (EthernetLinkActive.load()) {
        StartWorker(&NetParameterReader, AsView(this));
        StartWorker(&ModelReadWorker, AsView(this));
        return;
    }
    if (!m_useHid)
        return;  // the printing-class path has no Read
    if (!ProbeHidLaminator()) {
        MessageBox(std::string(kStringNotConnected));
        return;
    }
    if (Item(kIdActivatePort).IsEnabled())
        return;
    StartWorker(&UsbParameterReader, AsView(this));
    StartWorker(&ModelReadWorker, AsView(this));
}

void CCorvaneDlg::OnWrite() {
    if (!ValidateParameters(*this))
        return;
    if (EthernetLinkActive.load()) {
        StartWorker(&NetParameterWriter, AsView(this));
        StartWorker(&ModelWriteWorker, AsView(this));
        return;
    }
    if (!m_useHid)
        return;
    if (!ProbeHidLaminator()) {
        MessageBox(std::string(kStringNotConnected));
        return;
    }
    if (Item(kIdActivatePort).IsEnabled())
        return;
    StartWorker(&ModelWriteWorker, AsView(this));
    StartWorker(&UsbParameterWriter, AsView(this));
}

void CCorvaneDlg::OnEthernetConfig() {
    MainWindowLinks links(*this);
    CNetWork dialog(&links, &Host());
    dialog.DoModal();
}

void CCorvaneDlg::OnEthernetCheck() {
    UpdateData(true);
    StopStatusPoller();
    if (m_useEthernet) {
        CloseEthernet();
        if (!ConnectEthernet(Store().Get(ParamKey::IpAddress))) {
            EthernetLinkActive.store(0);
            m_useEthernet = 0;
            UpdateData(false);
            return;
        }
        EthernetLinkActive.store(1);
        if (m_autoDetect)
            StartStatusPoller(&NetStatusPoller, AsView(this));
        return;
    }
    CloseEthernet();
    EthernetLinkActive.store(0);
}

long CCorvaneDlg::OnStartNetPoller(const Event&) {
    StartStatusPoller(&NetStatusPoller, AsView(this));
    return 1;
}

void CCorvaneDlg::OnAutoDetect() {
    UpdateData(true);
    if (EthernetLinkActive.load()) {
        if (m_autoDetect)
            StartStatusPoller(&NetStatusPoller, AsView(this));
        else
            StopStatusPoller();
    } else if (!Item(kIdActivatePort).IsEnabled()) {
        if (m_autoDetect)
            StartStatusPoller(&UsbStatusPoller, AsView(this));
        else
            StopStatusPoller();
    }
    AutoDetectEnabled.store(m_autoDetect);
}

void CCorvaneDlg::OnModelRead() {
    StartWorker(&ModelReadWorker, AsView(this));
}

void CCorvaneDlg::OnModelWrite() {
    StartWorker(&ModelWriteWorker, AsView(this));
}
