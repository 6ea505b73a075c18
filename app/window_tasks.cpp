// What keeps the window thread free: link work runs on workers in click order, a firmware
// download is asked about before anything cuts it short, and a failing worker is reported
// with the window left usable.
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "app/app_state.h"
#include "app/control_ids.h"
#include "app/corvane_dlg.h"
#include "framework/message_box.h"
#include "laminator/poll_control.h"
#include "link/ethernet_link.h"
#include "link/link_flags.h"
#include "link/usb_link.h"

namespace {
// A worker waits this long for the one before it before it looks again.
constexpr std::chrono::milliseconds kJoinSlice{200};

void JoinUntilEnded(const WorkerHandle& worker) {
    while (worker && !worker->Join(kJoinSlice)) {
    }
}

std::string StopQuestion(int frame, int frames) {
    return "A firmware download is running (frame " + std::to_string(frame) + " of " +
           std::to_string(frames) +
           "). Stopping it leaves the laminator without complete firmware. Stop it?";
}
}  // namespace

void CCorvaneDlg::RunLinkTask(std::string name, std::function<void()> task) {
    std::lock_guard lock(m_downloadMutex);
    WorkerHandle previous = m_linkTask;
    m_linkTask = StartWorkerThread(
        [previous, task = std::move(task)] {
            JoinUntilEnded(previous);
            task();
            return 1;
        },
        std::move(name));
}

WorkerHandle CCorvaneDlg::StartOperation(std::function<int()> body, std::string name) {
    WorkerHandle pending;
    {
        std::lock_guard lock(m_downloadMutex);
        pending = m_linkTask;
    }
    return StartWorkerThread(
        [pending, body = std::move(body)] {
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

bool CCorvaneDlg::DownloadRunning() const {
    std::lock_guard lock(m_downloadMutex);
    return m_download && m_download->IsRunning();
}

void CCorvaneDlg::WaitForDownload() const {
    WorkerHandle download;
    {
        std::lock_guard lock(m_downloadMutex);
        download = m_download;
    }
    if (download && !download->IsCurrentThread())
        JoinUntilEnded(download);
}

bool CCorvaneDlg::ConfirmStopDownload() {
    if (!DownloadRunning())
        return true;
    const int frames = m_downloadFrames.load();
    const int frame = std::min(std::max(GetProgressPosition(), 1), frames);
    if (!AskYesNo(StopQuestion(frame, frames)))
        return false;
    m_stopDownload.store(true);
    return true;
}

bool CCorvaneDlg::StopRequested() const {
    return m_stopDownload.load();
}

void CCorvaneDlg::AfterDownload(std::string name, std::function<void()> action) {
    if (!DownloadRunning()) {
        action();
        return;
    }
    StartWorkerThread(
        [this, action = std::move(action)] {
            WaitForDownload();
            PostWork(action);
            return 1;
        },
        std::move(name));
}

void CCorvaneDlg::StartDownload(int (*worker)(LaminatorView*), FirmwareRoute route,
                                std::string name) {
    const auto image = LoadedFirmware();
    m_downloadFrames.store(FirmwareFrameCount(route, image ? image->size() : 0));
    m_stopDownload.store(false);
    // The transfer itself says how far a stopped download got, counting what the laminator
    // took.
    WorkerHandle download = StartOperation(
        [this, worker] {
            worker(static_cast<LaminatorView*>(this));
            return 1;
        },
        std::move(name));
    std::lock_guard lock(m_downloadMutex);
    m_download = std::move(download);
}

void CCorvaneDlg::OnCancel() {
    if (!ConfirmStopDownload())
        return;
    AfterDownload("closing the window", [this] { Dialog::OnCancel(); });
}

void CCorvaneDlg::OnExit() {
    if (!ConfirmStopDownload())
        return;
    // Links stay open and other workers are not waited for: only a transfer is.
    AfterDownload("Exit", [this] { EndProcess(1); });
}

void CCorvaneDlg::EndProcess(int status) {
    if (m_endProcess) {
        m_endProcess(status);
        return;
    }
    // No static object is destroyed under a worker that still uses it.
    std::fflush(nullptr);
    std::quick_exit(status);
}

void CCorvaneDlg::OnWorkerFailure(const std::string& worker, const std::string& what) {
    // On the failed worker's thread: closing may wait for an exchange in flight.
    StopStatusPoller();
    CancelEthernetConnect();
    CloseUsbLink();
    CloseEthernet();
    EthernetLinkActive.store(0);
    for (int id : {kIdActivatePort, kIdDeactivatePort, kIdRead, kIdWrite, kIdResetDefault,
                   kIdDownload, kIdBrowse})
        EnableButton(id, true);
    MessageBox(InternalErrorText(worker, what));
}
