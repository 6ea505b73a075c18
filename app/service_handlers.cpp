// The service buttons: Switch Mode, Send, the hidden re-send box, Reset Default, Browse and
// Download. Each chooses the link and the worker; the engines do the work.
#include "app/app_state.h"
#include "app/control_ids.h"
#include "app/corvane_dlg.h"
#include "app/operations.h"
#include "framework/message_box.h"
#include "framework/worker.h"
#include "link/link_flags.h"

namespace {
LaminatorView* AsView(CCorvaneDlg* dlg) {
    return static_cast<LaminatorView*>(dlg);
}

// The running poller, asked to stop; the reset lets it finish before its frame goes out.
WorkerHandle StopPollerForReset() {
    WorkerHandle poller = PollThread();
    StopStatusPoller();
    return poller;
}
}  // namespace

int CCorvaneDlg::SelectedMode() const {
    // By id: the member pointer is rebound by every data exchange on the window thread.
    return const_cast<CCorvaneDlg*>(this)->Item(kIdModeCombo).GetSelection();
}

std::string CCorvaneDlg::TypedCommand() const {
    std::lock_guard lock(m_membersMutex);
    return m_commandText;
}

std::shared_ptr<const std::vector<std::uint8_t>> CCorvaneDlg::LoadedFirmware() const {
    std::lock_guard lock(m_membersMutex);
    return m_firmware;
}

void CCorvaneDlg::ReleaseFirmware() {
    std::lock_guard lock(m_membersMutex);
    m_firmware.reset();
}

void CCorvaneDlg::OnSwitchMode() {
    UpdateData(true);
    StartWorker(&ModeSwitchWorker, AsView(this));
}

void CCorvaneDlg::OnSend() {
    UpdateData(true);
    StartWorker(&RawCommandWorker, AsView(this));
}

void CCorvaneDlg::OnResendCheck() {
    UpdateData(true);
    if (m_resendChecked)
        StartModeResender();  // one at most; unticking leaves it running
}

void CCorvaneDlg::OnResetDefault() {
    if (EthernetLinkActive.load()) {
        WorkerHandle poller;
        if (StatusPollerActive()) {
            poller = StopPollerForReset();
            m_autoDetect = 0;
        }
        StartWorkerThread([this, poller] { return NetResetWorker(AsView(this), poller); });
        MessageBox(std::string(kStringEthernetNotConnected));
        EthernetLinkActive.store(0);
        UpdateData(false);
        return;
    }
    const bool portActive = !Item(kIdActivatePort).IsEnabled();
    WorkerHandle poller;
    if (portActive && StatusPollerActive())
        poller = StopPollerForReset();
    m_autoDetect = 0;
    UpdateData(false);
    if (portActive)
        StartWorkerThread([this, poller] { return UsbResetWorker(AsView(this), poller); });
}

void CCorvaneDlg::OnBrowse() {
    UpdateData(true);
    ReleaseFirmware();
    const std::optional<std::string> chosen =
        Host().OpenFileDialog(*this, std::string(kFirmwareFilter));
    if (!chosen)
        return;
    {
        std::lock_guard lock(m_membersMutex);
        m_firmwarePath = *chosen;
    }
    FirmwareLoad load = LoadFirmwareFile(*chosen);
    if (!load.bytes) {
        for (const std::string& text : load.messages)
            MessageBox(text);
        return;
    }
    if (const std::optional<std::string> problem = FirmwareFormatProblem(*chosen, *load.bytes);
        problem && !AskYesNo(*problem + "\n\nSend this file anyway?"))
        return;
    {
        std::lock_guard lock(m_membersMutex);
        m_firmware = std::move(load.bytes);
    }
    UpdateData(false);
}

void CCorvaneDlg::OnDownload() {
    UpdateData(true);
    if (!LoadedFirmware()) {
        MessageBox(std::string(kStringSelectFile));
        return;
    }
    if (m_autoDetect) {
        MessageBox(std::string(kStringTurnOffAutoDetect));
        return;
    }
    if (EthernetLinkActive.load()) {
        StartWorker(&NetDownloadWorker, AsView(this));
        EthernetLinkActive.store(0);
        UpdateData(false);
        return;
    }
    Item(kIdBrowse).Enable(false);
    if (!m_useHid) {
        StartWorker(&PrinterClassDownloadWorker, AsView(this));
        return;
    }
    if (!Item(kIdActivatePort).IsEnabled()) {
        StartWorker(&HidDownloadWorker, AsView(this));
        return;
    }
    MessageBox(std::string(kStringActivatePort));
    Item(kIdBrowse).Enable(true);  // the technician can still choose another file
}
