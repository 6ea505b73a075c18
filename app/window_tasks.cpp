// What keeps the window thread free: link work runs on workers in click order, a firmware
// download is asked about before anything cuts it short, and a failing worker is reported
// with the window left usable.
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "app/app_state.h"
#include "app/control_ids.h"
#include "app/corvane_dlg.h"
#include "app/download_run.h"
#include "framework/message_box.h"
#include "laminator/poll_control.h"
#include "link/ethernet_link.h"
#include "link/link_flags.h"
#include "link/usb_link.h"
#include "platform/process.h"

namespace {
// A failing worker closes only the link it used; the tag is set when it starts.
enum class WorkerLink { None, Usb, Ethernet };
thread_local WorkerLink t_workerLink = WorkerLink::None;

WorkerLink LinkInUse() {
    return EthernetLinkActive.load() ? WorkerLink::Ethernet : WorkerLink::Usb;
}

// Workers not started by the window (the status poller) are known by their link flags.
WorkerLink LinkOfWorker() {
    if (t_workerLink != WorkerLink::None)
        return t_workerLink;
    return LinkInUse();
}

std::string StopQuestion(int frame, int frames) {
    return "A firmware download is running (frame " + std::to_string(frame) + " of " +
           std::to_string(frames) +
           "). Stopping it leaves the laminator without complete firmware. Stop it?";
}
constexpr const char* kDownloadAlreadyEnded =
    "The download had already ended; nothing was stopped.";
}  // namespace

void JoinUntilEnded(const WorkerHandle& worker) {
    // A slice at a time, so a worker that never ends still shows in a debugger's stacks.
    while (worker && !worker->Join(std::chrono::milliseconds(200))) {
    }
}

WorkerHandle CCorvaneDlg::RunLinkTask(std::string name, std::function<void()> task) {
    std::lock_guard lock(m_downloadMutex);
    WorkerHandle previous = m_linkTask;
    m_linkTask = StartWorkerThread(
        [previous, task = std::move(task)] {
            JoinUntilEnded(previous);
            task();
            return 1;
        },
        std::move(name));
    return m_linkTask;
}

WorkerHandle CCorvaneDlg::StartOperation(std::function<int()> body, std::string name) {
    WorkerHandle pending;
    {
        std::lock_guard lock(m_downloadMutex);
        pending = m_linkTask;
    }
    const WorkerLink link = LinkInUse();
    return StartWorkerThread(
        [pending, link, body = std::move(body)] {
            t_workerLink = link;
            JoinUntilEnded(pending);
            return body();
        },
        std::move(name));
}

WorkerHandle CCorvaneDlg::StartOperation(int (*proc)(LaminatorView*), std::string name) {
    return StartOperation([this, proc] { return proc(static_cast<LaminatorView*>(this)); },
                          std::move(name));
}

bool CCorvaneDlg::WaitForLinkTasks(std::chrono::milliseconds timeout) const {
    WorkerHandle last;
    {
        std::lock_guard lock(m_downloadMutex);
        last = m_linkTask;
    }
    return !last || last->Join(timeout);
}

WorkerHandle CCorvaneDlg::RunningDownload() const {
    std::lock_guard lock(m_downloadMutex);
    return m_download && m_download->Running() ? m_download->worker : nullptr;
}

bool CCorvaneDlg::DownloadRunning() const {
    return RunningDownload() != nullptr;
}

bool CCorvaneDlg::ConfirmStopDownload() {
    std::shared_ptr<DownloadRun> run;
    {
        std::lock_guard lock(m_downloadMutex);
        run = m_download;
    }
    if (!run || !run->Running())
        return true;
    const int frames = run->frames;
    const int frame = std::min(std::max(GetProgressPosition(), 1), frames);
    if (!AskYesNo(StopQuestion(frame, frames)))
        return false;
    // The question does not hold the transfer: it may have ended meanwhile.
    if (!run->Running()) {
        MessageBox(kDownloadAlreadyEnded);
        return true;
    }
    run->stop.store(true);
    return true;
}

void CCorvaneDlg::AfterDownload(WorkerHandle download, std::string name,
                                std::function<void()> action) {
    if (!download || !download->IsRunning()) {
        action();
        return;
    }
    StartWorkerThread(
        [this, download, action = std::move(action)] {
            JoinUntilEnded(download);
            PostWork(action);
            return 1;
        },
        std::move(name));
}

void CCorvaneDlg::StartDownload(int (*worker)(LaminatorView*), FirmwareRoute route,
                                std::string name) {
    auto run = std::make_shared<DownloadRun>();
    run->route = route;
    run->image = LoadedFirmware();
    run->frames = FirmwareFrameCount(route, run->image ? run->image->size() : 0);
    run->worker = StartOperation(
        [this, worker, run] {
            DownloadView view(*this, *run);
            // The transfer itself says how far a stopped download got, counting what the
            // laminator took.
            worker(&view);
            return 1;
        },
        std::move(name));
    std::lock_guard lock(m_downloadMutex);
    m_download = std::move(run);
}

void CCorvaneDlg::OnCancel() {
    const WorkerHandle download = RunningDownload();
    if (!ConfirmStopDownload())
        return;
    AfterDownload(download, "closing the window", [this] { Dialog::OnCancel(); });
}

void CCorvaneDlg::OnExit() {
    const WorkerHandle download = RunningDownload();
    if (!ConfirmStopDownload())
        return;
    // Links stay open and other workers are not waited for: only a transfer is.
    AfterDownload(download, "Exit", [this] { EndProcess(1); });
}

void CCorvaneDlg::EndProcess(int status) {
    if (m_endProcess) {
        m_endProcess(status);
        return;
    }
    // No static object is destroyed under a worker that still uses it.
    platform::QuickExit(status);  // flushes the C streams
}

void CCorvaneDlg::OnWorkerFailure(const std::string& worker, const std::string& what) {
    // On the failed worker's thread: closing may wait for an exchange in flight.
    std::shared_ptr<DownloadRun> run;
    {
        std::lock_guard lock(m_downloadMutex);
        run = m_download;
    }
    const bool downloadGoesOn = run && run->Running() && !run->worker->IsCurrentThread();
    const bool downloadOnEthernet = downloadGoesOn && run->route == FirmwareRoute::Ethernet;
    switch (LinkOfWorker()) {
        case WorkerLink::Ethernet:
            if (downloadOnEthernet)
                break;  // the socket carries the running download
            StopStatusPoller();
            CancelEthernetConnect();
            CloseEthernet();
            EthernetLinkActive.store(0);
            break;
        case WorkerLink::Usb:
            if (downloadGoesOn && !downloadOnEthernet)
                break;  // the port carries the running download
            StopStatusPoller();
            CloseUsbLink();
            NotePortClosedByEngine();
            break;
        case WorkerLink::None:
            break;
    }
    SetOperationButtons(*this, true);
    if (!downloadGoesOn) {
        EnableButton(kIdDownload, true);
        EnableButton(kIdBrowse, true);
    }
    MessageBox(InternalErrorText(worker, what));
}
