#include "laminator/firmware_download.h"

#include <algorithm>
#include <optional>

#include "link/ethernet_link.h"
#include "link/frame_trace.h"
#include "link/link_buffers.h"
#include "link/tcp_delivery.h"
#include "link/usb_link.h"

namespace {
constexpr std::size_t kFrameBytes = 64;
// Over TCP the connection is looked at every this many frames (4 KiB): often enough to stop
// soon after the laminator hung up, rarely enough to cost nothing; the count of frames it
// took comes from its acknowledgements either way.
constexpr int kFramesBetweenChecks = 64;

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
// Firmware frames get no reply; the link was readied for them before the first.
bool SendFrame(FirmwareRoute route, const std::uint8_t* data, std::size_t count) {
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
        return NetSendFollowing() > 0;
    return UsbWrite() > 0;
}

std::shared_ptr<const std::vector<std::uint8_t>> ImageOf(LaminatorView& view) {
    std::shared_ptr<const std::vector<std::uint8_t>> image = view.LoadedFirmware();
    return image ? image : std::make_shared<const std::vector<std::uint8_t>>();
}

// Over TCP the frames sent count only as far as the laminator acknowledged them; where the
// system cannot say, they stay sent and unconfirmed.
void CountOnlyTaken(TransferResult& result, const TcpDelivery& delivery) {
    if (!delivery.CountKnown()) {
        result.notConfirmed = true;
        return;
    }
    const auto taken = static_cast<int>(
        std::min<std::uint64_t>(delivery.BytesTaken() / kFrameBytes, result.frames));
    result.framesSent = std::min(result.framesSent, taken);
}

// A stop over TCP: what is still queued on this side is dropped at close, so the laminator
// ends with what it acknowledged by now.
void StopTaken(TransferResult& result, const std::optional<TcpDelivery>& delivery) {
    result.stopped = true;
    if (!delivery)
        return;
    delivery->DropUnsentOnClose();
    CountOnlyTaken(result, *delivery);
}

void FailTaken(TransferResult& result, const TcpDelivery& delivery) {
    CountOnlyTaken(result, delivery);
    result.notTaken = true;
}
}  // namespace

std::string DownloadOutcomeText(const TransferResult& result) {
    if (result.stopped)
        return DownloadStoppedText(result.framesSent, result.frames);
    if (result.Complete())
        return {};
    if (result.notConfirmed && !result.notTaken)
        return DownloadNotConfirmedText(result.framesSent, result.frames);
    // Where nothing tells what the laminator took, a broken transfer names the frame that
    // did not go out rather than a count taken that nobody saw.
    if (result.notConfirmed)
        return DownloadFailedText(std::min(result.framesSent + 1, result.frames), result.frames);
    return result.notTaken ? DownloadNotTakenText(result.framesSent, result.frames)
                           : DownloadFailedText(result.framesSent + 1, result.frames);
}

int FirmwareFrameCount(FirmwareRoute route, std::size_t length) {
    return static_cast<int>(length / FrameData(route) + 1);
}

std::string DownloadFailedText(int frame, int frames) {
    return "Download failed: frame " + std::to_string(frame) + " of " + std::to_string(frames) +
           " could not be sent!";
}

std::string DownloadNotTakenText(int frames, int of) {
    return "Download failed: the laminator took only " + std::to_string(frames) + " of " +
           std::to_string(of) + " frames!";
}

std::string DownloadNotConfirmedText(int framesSent, int frames) {
    return "Download sent: " + std::to_string(framesSent) + " of " + std::to_string(frames) +
           " frames sent, not confirmed by the laminator.";
}

std::string DownloadStoppedText(int framesSent, int frames) {
    return "Download stopped: " + std::to_string(framesSent) + " of " + std::to_string(frames) +
           " frames sent.";
}

DownloadProgress::DownloadProgress(LaminatorView& view, int frames)
    : m_view(view), m_frames(std::max(frames, 1)) {
    m_view.SetProgressRange(0, frames);
    m_view.SetProgressPosition(0);
    m_view.SetControlText(kIdPercentText, "");
}

void DownloadProgress::Show(int sent) {
    const int percent = static_cast<int>(static_cast<long long>(sent) * 100 / m_frames);
    if (percent != m_percent || m_text.empty()) {
        m_percent = percent;
        m_text = std::to_string(percent) + "%";
    }
    m_view.SetControlText(kIdPercentText, m_text);
}

void DownloadProgress::Advance() {
    const int sent = m_position;
    m_view.SetProgressPosition(++m_position);
    Show(sent);
}

void DownloadProgress::Finish() {
    Show(m_frames);
}

TransferResult TransferFirmware(LaminatorView& view, FirmwareRoute route,
                                const std::vector<std::uint8_t>& bytes) {
    const std::size_t full = FrameData(route);
    TransferResult result;
    result.frames = FirmwareFrameCount(route, bytes.size());
    DownloadProgress progress(view, result.frames);
    // One transaction: no poller, menu sender or other worker puts a frame in between.
    LinkTransaction transaction;
    std::optional<TcpDelivery> delivery;
    if (route == FirmwareRoute::Ethernet)
        delivery.emplace(NetBeginUnansweredTransfer());
    std::size_t sent = 0;
    for (;;) {
        if (view.StopRequested()) {
            StopTaken(result, delivery);
            return result;
        }
        if (delivery && result.framesSent % kFramesBetweenChecks == 0 && delivery->PeerGone()) {
            FailTaken(result, *delivery);
            return result;
        }
        progress.Advance();
        const std::size_t count = std::min(bytes.size() - sent, full);
        if (FrameTraceOn())
            SetNextFrameNote("firmware frame " + std::to_string(result.framesSent + 1) + " of " +
                             std::to_string(result.frames));
        if (!SendFrame(route, bytes.data() + sent, count)) {
            // A send the laminator kept blocked until its time-out may have been stopped
            // meanwhile: that is a stop, not a failure.
            if (view.StopRequested())
                StopTaken(result, delivery);
            else if (delivery)
                FailTaken(result, *delivery);
            return result;
        }
        ++result.framesSent;
        result.framesHandedOver = result.framesSent;
        sent += count;
        // The last frame is the one that is not full, possibly with no file byte at all.
        if (count < full)
            break;
    }
    const std::uint64_t frameBytes = static_cast<std::uint64_t>(result.frames) * kFrameBytes;
    if (delivery) {
        const TcpDelivery::Wait wait = delivery->AwaitTaken(frameBytes, kDeliveryNoProgress,
                                                            [&] { return view.StopRequested(); });
        if (wait == TcpDelivery::Wait::Stopped) {
            StopTaken(result, delivery);
            return result;
        }
        // Uncounted, a peer gone after the last frame may have taken them all (a laminator
        // restarting into its new firmware does so): sent, not confirmed.
        if (wait == TcpDelivery::Wait::Unknown ||
            (wait == TcpDelivery::Wait::Broken && !delivery->CountKnown())) {
            result.notConfirmed = true;
            return result;
        }
        if (wait != TcpDelivery::Wait::Taken) {
            FailTaken(result, *delivery);
            return result;
        }
    }
    progress.Finish();
    return result;
}

TransferResult DownloadLoadedFirmware(LaminatorView& view, FirmwareRoute route) {
    const auto image = ImageOf(view);
    if (route != FirmwareRoute::PrinterClass)
        view.EnableButton(kIdDownload, false);
    const TransferResult result = TransferFirmware(view, route, *image);
    switch (route) {
        case FirmwareRoute::PrinterClass:
            if (result.Complete())
                view.ReleaseFirmware();
            CloseUsbLink();
            view.EnableButton(kIdActivatePort, true);
            view.EnableButton(kIdBrowse, true);
            break;
        case FirmwareRoute::Hid:
            CloseUsbLink();
            view.EnableButton(kIdActivatePort, true);
            view.EnableButton(kIdBrowse, true);
            view.EnableButton(kIdDownload, true);
            break;
        case FirmwareRoute::Ethernet:
            view.EnableButton(kIdDownload, true);
            CloseEthernet();
            break;
    }
    if (route == FirmwareRoute::PrinterClass && result.Complete())
        ReportLinkMessage(kDownloadSuccessful);
    else if (const std::string text = DownloadOutcomeText(result); !text.empty())
        ReportLinkMessage(text);
    return result;
}

int PrinterClassDownloadWorker(LaminatorView* view) {
    DownloadLoadedFirmware(*view, FirmwareRoute::PrinterClass);
    return 1;
}

int HidDownloadWorker(LaminatorView* view) {
    DownloadLoadedFirmware(*view, FirmwareRoute::Hid);
    return 1;
}

int NetDownloadWorker(LaminatorView* view) {
    DownloadLoadedFirmware(*view, FirmwareRoute::Ethernet);
    return 1;
}
