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

// The percentage text: every `step` frames one percent more; with fewer than 100 frames
// (step 0) the share of frames sent, so it still ends at 100%.
class DownloadProgress {
  public:
    DownloadProgress(LaminatorView& view, int frames);
    // Called before each frame is built.
    void Advance();

  private:
    LaminatorView& m_view;
    int m_frames;
    int m_step;
    int m_position = 0;
    int m_percent = 0;
    std::string m_text;
};

struct TransferResult {
    int framesSent = 0;
    int frames = 0;
    bool stopped = false;  // the view asked to stop; the frames sent went out whole
    bool Complete() const { return framesSent == frames; }
};

// Sends `bytes` frame by frame as one transaction under the link lock, moving the progress
// display; stops at the first frame that did not go out, or before the next frame once the
// view asks to stop. Touches no button.
TransferResult TransferFirmware(LaminatorView& view, FirmwareRoute route,
                                const std::vector<std::uint8_t>& bytes);

// Worker procedures: the transfer, then each route's end steps (link closed, buttons
// enabled again, the result told). The file is the one loaded when the worker starts.
int PrinterClassDownloadWorker(LaminatorView* view);
int HidDownloadWorker(LaminatorView* view);
int NetDownloadWorker(LaminatorView* view);
