// The service buttons: Switch Mode, Send, the hidden re-send box, Reset Default, Browse and
// Download. Each chooses the link and the worker; the engines do the work.
#include "app/app_state.h"
#include "app/control_ids.h"
#include "app/corvane_dlg.h"
#include "app/operations.h"
#include "app/window_journal.h"
#include "framework/message_box.h"
#include "framework/worker.h"
#include "link/link_flags.h"

namespace {
constexpr const char* kDownloadAlreadyRunning =
    "A firmware download is already running; wait until it has ended.";

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
    StartOperation([this] { return RecordedModeSwitch(*this); }, "ModeSwitchWorker");
}

void CCorvaneDlg::OnSend() {
    UpdateData(true);
    StartOperation([this] { return RecordedRawSend(*this); }, "RawCommandWorker");
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
        StartOperation([this, poller] { return RecordedReset(*this, LinkKind::Ethernet, poller); },
                       "NetResetWorker");
        MessageBox(std::string(kStringEthernetNotConnected));
        EthernetLinkActive.store(0);
        UpdateData(false);
        return;
    }
    const bool portActive = Port() == PortState::Open;
    WorkerHandle poller;
    if (portActive && StatusPollerActive())
        poller = StopPollerForReset();
    m_autoDetect = 0;
    UpdateData(false);
    if (portActive)
        StartOperation([this, poller] { return RecordedReset(*this, LinkKind::Usb, poller); },
                       "UsbResetWorker");
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
    // Up to 64 MiB are read and checked on a worker; no Download meanwhile, and no second
    // Browse. The question about a damaged file waits there too, not on the window thread.
    Item(kIdBrowse).Enable(false);
    Item(kIdDownload).Enable(false);
    StartWorkerThread(
        [this, path = *chosen] {
            FirmwareLoad load = LoadFirmwareFile(path);
            for (const std::string& text : load.messages)
                MessageBox(text);
            if (load.bytes) {
                if (const std::optional<std::string> problem =
                        FirmwareFormatProblem(path, *load.bytes);
                    problem && !AskYesNo(*problem + "\n\nSend this file anyway?"))
                    load.bytes.reset();
            }
            // Only what Browse owns: the path, the file and its two buttons. The other
            // controls keep what the user set meanwhile.
            PostWork([this, path, bytes = std::move(load.bytes)] {
                if (bytes) {
                    {
                        std::lock_guard lock(m_membersMutex);
                        m_firmware = bytes;
                    }
                    Item(kIdFirmwarePath).SetText(path);
                }
                Item(kIdBrowse).Enable(true);
                // A download running meanwhile keeps Download off until it ends.
                if (!DownloadRunning())
                    Item(kIdDownload).Enable(true);
            });
            return 1;
        },
        "Browse");
}

void CCorvaneDlg::OnDownload() {
    // The printing-class transfer leaves the button enabled; a second transfer would race
    // the first on the link and take its place in the window's questions.
    if (DownloadRunning()) {
        MessageBox(kDownloadAlreadyRunning);
        return;
    }
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
        Item(kIdDownload).Enable(false);
        StartDownload(FirmwareRoute::Ethernet, "NetDownloadWorker");
        EthernetLinkActive.store(0);
        UpdateData(false);
        return;
    }
    Item(kIdBrowse).Enable(false);
    if (!m_useHid) {
        StartDownload(FirmwareRoute::PrinterClass, "PrinterClassDownloadWorker");
        return;
    }
    if (PortTakenAsOpen()) {
        Item(kIdDownload).Enable(false);
        StartDownload(FirmwareRoute::Hid, "HidDownloadWorker");
        return;
    }
    MessageBox(std::string(kStringActivatePort));
    Item(kIdBrowse).Enable(true);  // the technician can still choose another file
}
