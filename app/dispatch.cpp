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
    // Disabled while the port opens; enabled again only when the open failed.
    Item(kIdActivatePort).Enable(false);
    const bool hid = m_useHid != 0;
    const bool autoDetect = m_autoDetect != 0;
    RunLinkTask("Activate Port", [this, hid, autoDetect] {
        CloseUsbLink();
        if (hid) {
            if (!OpenHidLink()) {
                EnableButton(kIdActivatePort, true);  // the link has said why
                return;
            }
            UsbLinkActive.store(1);
            if (autoDetect) {
                ReadOnFirstPoll.store(1);
                StartStatusPoller(&UsbStatusPoller, AsView(this));
            }
            return;
        }
        if (!OpenPrinterClassLink())
            EnableButton(kIdActivatePort, true);
    });
}

void CCorvaneDlg::OnDeactivatePort() {
    if (!ConfirmStopDownload())
        return;
    // Ended at once in effect: the poller checks its token under the link lock before
    // every exchange, so after this no poller touches the link.
    if (m_autoDetect)
        StopStatusPoller();
    // The re-sender would open the port again.
    RequestModeResenderStop();
    Item(kIdDeactivatePort).Enable(false);
    RunLinkTask("Deactivate Port", [this] {
        WaitForDownload();
        CloseUsbLink();
        EnableButton(kIdActivatePort, true);
        EnableButton(kIdDeactivatePort, true);
    });
}

void CCorvaneDlg::OnRead() {
    if (EthernetLinkActive.load()) {
        StartOperation(&NetParameterReader, "NetParameterReader");
        StartOperation(&ModelReadWorker, "ModelReadWorker");
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
    StartOperation(&UsbParameterReader, "UsbParameterReader");
    StartOperation(&ModelReadWorker, "ModelReadWorker");
}

void CCorvaneDlg::OnWrite() {
    if (!ValidateParameters(*this))
        return;
    if (EthernetLinkActive.load()) {
        StartOperation(&NetParameterWriter, "NetParameterWriter");
        StartOperation(&ModelWriteWorker, "ModelWriteWorker");
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
    StartOperation(&ModelWriteWorker, "ModelWriteWorker");
    StartOperation(&UsbParameterWriter, "UsbParameterWriter");
}

void CCorvaneDlg::OnEthernetConfig() {
    MainWindowLinks links(*this);
    CNetWork dialog(&links, &Host());
    dialog.DoModal();
}

void CCorvaneDlg::OnEthernetCheck() {
    const int before = m_useEthernet.load();
    UpdateData(true);
    if (m_useEthernet != before && !ConfirmStopDownload()) {
        m_useEthernet = before;
        Item(kIdEthernetCheck).SetCheck(before);
        return;
    }
    StopStatusPoller();
    CancelEthernetConnect();  // a connect still under way gives up
    const bool connect = m_useEthernet != 0;
    const bool autoDetect = m_autoDetect != 0;
    const std::string address = Store().Get(ParamKey::IpAddress);
    RunLinkTask("Ethernet port", [this, connect, autoDetect, address] {
        WaitForDownload();
        CloseEthernet();
        if (!connect) {
            EthernetLinkActive.store(0);
            return;
        }
        if (!ConnectEthernet(address)) {
            EthernetLinkActive.store(0);
            PostWork([this] {
                m_useEthernet = 0;
                UpdateData(false);
            });
            return;
        }
        EthernetLinkActive.store(1);
        if (autoDetect)
            StartStatusPoller(&NetStatusPoller, AsView(this));
    });
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
    StartOperation(&ModelReadWorker, "ModelReadWorker");
}

void CCorvaneDlg::OnModelWrite() {
    StartOperation(&ModelWriteWorker, "ModelWriteWorker");
}
