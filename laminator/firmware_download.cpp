#include "laminator/firmware_download.h"

#include <algorithm>

#include "link/ethernet_link.h"
#include "link/frame_trace.h"
#include "link/link_buffers.h"
#include "link/usb_link.h"

namespace {
constexpr std::size_t kFrameBytes = 64;

// File bytes a frame carries on the route.
std::size_t FrameData(FirmwareRoute route) {
    return route == FirmwareRoute::PrinterClass ? kFrameBytes : kFrameBytes - 2;
}

}  // namespace

std::size_t FirmwareBytesSent(FirmwareRoute route, std::size_t length, int framesSent) {
    return std::min(length, static_cast<std::size_t>(std::max(framesSent, 0)) * FrameData(route));
}

namespace {
// Puts the frame carrying `count` bytes from `data` into the transmit buffer and sends it.
// Firmware frames get no reply, so over TCP only the first needs stale replies cleared.
bool SendFrame(FirmwareRoute route, const std::uint8_t* data, std::size_t count, bool first) {
    std::fill_n(TxBuffer.begin(), kFrameBytes, 0);
    std::size_t at = 0;
    if (route != FirmwareRoute::PrinterClass) {
        TxBuffer[0] = 0xA5;
        TxBuffer[1] = static_cast<std::uint8_t>(count);
        at = 2;
    }
    std::copy_n(data, count, TxBuffer.begin() + static_cast<std::ptrdiff_t>(at));
    TxLength = static_cast<std::int32_t>(kFrameBytes);
    if (route == FirmwareRoute::Ethernet)
        return (first ? NetSend() : NetSendFollowing()) > 0;
    return UsbWrite() > 0;
}

std::shared_ptr<const std::vector<std::uint8_t>> ImageOf(LaminatorView& view) {
    std::shared_ptr<const std::vector<std::uint8_t>> image = view.LoadedFirmware();
    return image ? image : std::make_shared<const std::vector<std::uint8_t>>();
}

void ReportFailure(const TransferResult& result) {
    // A stop the user asked for is told by the front end that asked.
    if (!result.Complete() && !result.stopped)
        ReportLinkMessage(DownloadFailedText(result.framesSent + 1, result.frames));
}
}  // namespace

int FirmwareFrameCount(FirmwareRoute route, std::size_t length) {
    return static_cast<int>(length / FrameData(route) + 1);
}

std::string DownloadFailedText(int frame, int frames) {
    return "Download failed: frame " + std::to_string(frame) + " of " + std::to_string(frames) +
           " could not be sent!";
}

DownloadProgress::DownloadProgress(LaminatorView& view, int frames)
    : m_view(view), m_frames(frames), m_step(frames / 100) {
    m_view.SetProgressRange(0, frames);
    m_view.SetProgressPosition(0);
    m_view.SetControlText(kIdPercentText, m_text);
}

void DownloadProgress::Advance() {
    const int p = m_position;
    if (m_step > 0) {
        if (p % m_step == 0)
            m_text = std::to_string(m_percent++) + "%";
    } else {
        m_text = std::to_string((p + 1) * 100 / m_frames) + "%";
    }
    m_view.SetProgressPosition(++m_position);
    m_view.SetControlText(kIdPercentText, m_text);
}

TransferResult TransferFirmware(LaminatorView& view, FirmwareRoute route,
                                const std::vector<std::uint8_t>& bytes) {
    const std::size_t full = FrameData(route);
    TransferResult result;
    result.frames = FirmwareFrameCount(route, bytes.size());
    DownloadProgress progress(view, result.frames);
    // One transaction: no poller, menu sender or other worker puts a frame in between.
    LinkTransaction transaction;
    std::size_t sent = 0;
    for (;;) {
        if (view.StopRequested()) {
            result.stopped = true;
            return result;
        }
        progress.Advance();
        const std::size_t count = std::min(bytes.size() - sent, full);
        if (FrameTraceOn())
            SetNextFrameNote("firmware frame " + std::to_string(result.framesSent + 1) + " of " +
                             std::to_string(result.frames));
        if (!SendFrame(route, bytes.data() + sent, count, result.framesSent == 0))
            return result;
        ++result.framesSent;
        sent += count;
        // The last frame is the one that is not full, possibly with no file byte at all.
        if (count < full)
            return result;
    }
}

int PrinterClassDownloadWorker(LaminatorView* view) {
    const auto image = ImageOf(*view);
    const TransferResult result = TransferFirmware(*view, FirmwareRoute::PrinterClass, *image);
    if (result.Complete())
        view->ReleaseFirmware();
    CloseUsbLink();
    view->EnableButton(kIdActivatePort, true);
    view->EnableButton(kIdBrowse, true);
    if (result.Complete())
        ReportLinkMessage(kDownloadSuccessful);
    else
        ReportFailure(result);
    return 1;
}

int HidDownloadWorker(LaminatorView* view) {
    const auto image = ImageOf(*view);
    view->EnableButton(kIdDownload, false);
    const TransferResult result = TransferFirmware(*view, FirmwareRoute::Hid, *image);
    CloseUsbLink();
    view->EnableButton(kIdActivatePort, true);
    view->EnableButton(kIdBrowse, true);
    view->EnableButton(kIdDownload, true);
    ReportFailure(result);
    return 1;
}

int NetDownloadWorker(LaminatorView* view) {
    const auto image = ImageOf(*view);
    view->EnableButton(kIdDownload, false);
    const TransferResult result = TransferFirmware(*view, FirmwareRoute::Ethernet, *image);
    view->EnableButton(kIdDownload, true);
    CloseEthernet();
    ReportFailure(result);
    return 1;
}
