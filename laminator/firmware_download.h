#pragma once
// Download: a firmware file sent to the laminator frame by frame, with the progress bar and
// the percentage text moving as the frames go out.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "laminator/laminator_view.h"

enum class FirmwareRoute {
    PrinterClass,  // 64 raw file bytes per block
    Hid,           // A5, count, up to 62 file bytes
    Ethernet,      // as HID, over TCP
};

inline constexpr const char* kDownloadSuccessful = "Download successfully, please re-open!";

// Frames of the transfer, the progress bar's range: one per full frame and one last frame.
int FirmwareFrameCount(FirmwareRoute route, std::size_t length);
// The file bytes the first `framesSent` frames of a transfer of `length` bytes carried.
std::size_t FirmwareBytesSent(FirmwareRoute route, std::size_t length, int framesSent);
// "Download failed: frame 3 of 17 could not be sent!"
std::string DownloadFailedText(int frame, int frames);
// "Download failed: the laminator took only 3 of 17 frames!"
std::string DownloadNotTakenText(int frames, int of);
// "Download sent: 17 of 17 frames sent, not confirmed by the laminator." where the system
// cannot tell what the laminator acknowledged.
std::string DownloadNotConfirmedText(int framesSent, int frames);
// "Download stopped: 3 of 17 frames sent." after the user stopped a transfer.
std::string DownloadStoppedText(int framesSent, int frames);

// The percentage text: the share of frames sent, from 0% before the first to 100% once
// the last went out, for any number of frames.
class DownloadProgress {
  public:
    DownloadProgress(LaminatorView& view, int frames);
    // Called before each frame is built.
    void Advance();
    // Called once every frame went out.
    void Finish();

  private:
    void Show(int sent);
    LaminatorView& m_view;
    int m_frames;
    int m_position = 0;
    int m_percent = 0;
    std::string m_text;
};

struct TransferResult {
    // Frames the laminator took: over TCP those it acknowledged, over USB those the device
    // took; never more. Where nothing counts what it acknowledged (notConfirmed), the frames
    // handed over.
    int framesSent = 0;
    // Frames handed to the link; over TCP some may still have sat in this PC's socket.
    int framesHandedOver = 0;
    int frames = 0;
    bool stopped = false;   // the view asked to stop; the frames sent went out whole
    bool notTaken = false;  // over TCP: the connection broke, or frames were not acknowledged
    // Over TCP where the system does not tell what the laminator acknowledged: the frames
    // were sent, and nothing confirms they were taken.
    bool notConfirmed = false;
    bool Complete() const { return framesSent == frames && !notTaken && !notConfirmed; }
};

// What the user is told of a transfer that did not complete (stopped, not taken, sent but
// not confirmed, or a frame that could not be sent); empty for a complete one. A transfer
// that broke where nothing counted what the laminator took names the frame not sent.
std::string DownloadOutcomeText(const TransferResult& result);

// Sends `bytes` frame by frame as one transaction under the link lock, moving the progress
// display; stops at the first frame that did not go out, or before the next frame once the
// view asks to stop. Touches no button.
TransferResult TransferFirmware(LaminatorView& view, FirmwareRoute route,
                                const std::vector<std::uint8_t>& bytes);

// The transfer of the loaded file on `route`, then the route's end steps (link closed,
// buttons enabled again, the result told).
TransferResult DownloadLoadedFirmware(LaminatorView& view, FirmwareRoute route);

// Worker procedures: DownloadLoadedFirmware on each route. The file is the one loaded when
// the worker starts.
int PrinterClassDownloadWorker(LaminatorView* view);
int HidDownloadWorker(LaminatorView* view);
int NetDownloadWorker(LaminatorView* view);
