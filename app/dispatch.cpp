// Link selection and the dispatch of the port, Read and Write buttons: the Ethernet link
// first, else the USB path the "HID device" box chose.
#include "app/app_state.h"
#include "app/control_ids.h"
#include "app/corvane_dlg.h"
#include "app/main_window_links.h"
#include "app/operations.h"
#include "app/window_journal.h"
#include "framework/message_box.h"
#include "framework/worker.h"
#include "laminator/param_store.h"
#include "link/ethernet_link.h"
#include "link/link_flags.h"
#include "link/usb_link.h"
#include "netsetup/connect_cancel.h"
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
    const bool hid = m_useHid != 0;
    const bool autoDetect = m_autoDetect != 0;
    const int click = BeginPortChange(PortState::Opening);
    RunLinkTask("Activate Port", [this, hid, autoDetect, click] {
        const auto finish = [this, click](bool open) {
            PostWork([this, click, open] {
                FinishPortChange(click, open ? PortState::Open : PortState::Closed);
            });
        };
        bool open = false;
        try {
            CloseUsbLink();
            open = hid ? OpenHidLink() : OpenPrinterClassLink();  // a failure has said why
        } catch (...) {
            finish(false);  // the failure handler reports it
            throw;
        }
        RecordConnect(WindowLinkKey(false), open);
        if (open && hid) {
            UsbLinkActive.store(1);
            // Not when a Deactivate was clicked meanwhile: the port is about to close.
            if (autoDetect && click == m_portClick.load()) {
                ReadOnFirstPoll.store(1);
                StartStatusPoller(&UsbStatusPoller, AsView(this));
            }
        }
        finish(open);
    });
}

void CCorvaneDlg::OnDeactivatePort() {
    // Taken at the click: the task waits for this download, never for one clicked later.
    const WorkerHandle download = RunningDownload();
    if (!ConfirmStopDownload())
        return;
    // Ended at once in effect: the poller checks its token under the link lock before
    // every exchange, so after this no poller touches the link.
    if (m_autoDetect)
        StopStatusPoller();
    // The re-sender would open the port again.
    RequestModeResenderStop();
    const int click = BeginPortChange(PortState::Closing);
    RunLinkTask("Deactivate Port", [this, download, click] {
        JoinUntilEnded(download);
        // A poller an Activate clicked earlier started after the click above.
        if (!EthernetLinkActive.load())
            StopStatusPoller();
        const bool wasOpen = UsbLinkActive.load() != 0;
        CloseUsbLink();
        if (wasOpen)
            RecordDisconnect(WindowLinkKey(false));
        PostWork([this, click] { FinishPortChange(click, PortState::Closed); });
    });
}

void CCorvaneDlg::OnRead() {
    if (EthernetLinkActive.load()) {
        StartOperation([this] { return RecordedRead(*this, &NetParameterReader); },
                       "NetParameterReader");
        StartOperation([this] { return RecordedModelRead(*this); }, "ModelReadWorker");
        return;
    }
    if (!m_useHid)
        return;  // the printing-class path has no Read
    if (!ProbeHidLaminator()) {
        MessageBox(std::string(kStringNotConnected));
        return;
    }
    if (!PortTakenAsOpen())
        return;
    StartOperation([this] { return RecordedRead(*this, &UsbParameterReader); },
                   "UsbParameterReader");
    StartOperation([this] { return RecordedModelRead(*this); }, "ModelReadWorker");
}

void CCorvaneDlg::OnWrite() {
    if (!ValidateParameters(*this))
        return;
    if (EthernetLinkActive.load()) {
        StartOperation([this] { return RecordedWrite(*this, &NetParameterWriter); },
                       "NetParameterWriter");
        StartOperation([this] { return RecordedModelWrite(*this); }, "ModelWriteWorker");
        return;
    }
    if (!m_useHid)
        return;
    if (!ProbeHidLaminator()) {
        MessageBox(std::string(kStringNotConnected));
        return;
    }
    if (!PortTakenAsOpen())
        return;
    StartOperation([this] { return RecordedModelWrite(*this); }, "ModelWriteWorker");
    StartOperation([this] { return RecordedWrite(*this, &UsbParameterWriter); },
                   "UsbParameterWriter");
}

void CCorvaneDlg::OnEthernetConfig() {
    MainWindowLinks links(*this);
    CNetWork dialog(&links, &Host());
    dialog.DoModal();
}

void CCorvaneDlg::OnEthernetCheck() {
    const int before = m_useEthernet.load();
    const WorkerHandle download = RunningDownload();
    UpdateData(true);
    if (m_useEthernet != before && !ConfirmStopDownload()) {
        m_useEthernet = before;
        Item(kIdEthernetCheck).SetCheck(before);
        return;
    }
    StopStatusPoller();
    // A connect of an earlier click gives up, even one still queued behind other link work.
    if (m_ethernetCancel)
        m_ethernetCancel->store(true);
    if (m_ethernetTask && m_ethernetTask->IsRunning())
        StartWorkerThread(
            [task = m_ethernetTask] {
                CancelConnectUntilEnded(task);
                return 1;
            },
            "cancelling the connect");
    const bool connect = m_useEthernet != 0;
    const bool autoDetect = m_autoDetect != 0;
    const std::string address = Store().Get(ParamKey::IpAddress);
    auto cancelled = std::make_shared<std::atomic<bool>>(false);
    m_ethernetCancel = cancelled;
    m_ethernetTask =
        RunLinkTask("Ethernet port", [this, download, connect, autoDetect, address, cancelled] {
            JoinUntilEnded(download);
            StopStatusPoller();
            const bool wasConnected = EthernetLinkActive.load() != 0;
            CloseEthernet();
            if (wasConnected)
                RecordDisconnect(CurrentWindowLink());
            if (!connect) {
                EthernetLinkActive.store(0);
                return;
            }
            const bool connected = !cancelled->load() && ConnectEthernet(address);
            if (!cancelled->load())
                RecordConnect("tcp:" + address + ":" + std::to_string(GetEthernetPort()),
                              connected && !cancelled->load());
            if (!connected || cancelled->load()) {
                if (connected)
                    CloseEthernet();  // unticked while it connected
                EthernetLinkActive.store(0);
                // Only this box, and only while no later click owns it: the other controls
                // keep what the user set meanwhile.
                PostWork([this, cancelled] {
                    if (cancelled->load())
                        return;
                    m_useEthernet = 0;
                    Item(kIdEthernetCheck).SetCheck(0);
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
    } else if (Port() == PortState::Open) {
        if (m_autoDetect)
            StartStatusPoller(&UsbStatusPoller, AsView(this));
        else
            StopStatusPoller();
    }
    AutoDetectEnabled.store(m_autoDetect);
}

void CCorvaneDlg::OnModelRead() {
    StartOperation([this] { return RecordedModelRead(*this); }, "ModelReadWorker");
}

void CCorvaneDlg::OnModelWrite() {
    StartOperation([this] { return RecordedModelWrite(*this); }, "ModelWriteWorker");
}
