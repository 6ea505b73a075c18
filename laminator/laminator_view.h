#pragma once
// What the laminator operations need of the window that shows them. The main window
// implements it; tests implement it with a recording fake. No dialog or Qt code here.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class LaminatorView {
  public:
    virtual ~LaminatorView() = default;
    // Sets column 1 of `row` only while `group` is still the group on screen, atomically
    // with respect to a group change, so a late read never fills another group's rows.
    virtual void SetParamCell(const std::string& group, int row, const std::string& text) = 0;
    // Column 1 of `row` of the list as shown.
    virtual std::string GetParamCell(int row) const = 0;
    virtual void EnableButton(int id, bool enabled) = 0;
    virtual bool IsButtonEnabled(int id) const = 0;
    // Status boxes, the percentage text and other plain texts, by control id.
    virtual void SetControlText(int id, const std::string& text) = 0;
    virtual void SetProgressRange(int low, int high) = 0;
    virtual void SetProgressPosition(int position) = 0;
    virtual int GetProgressPosition() const = 0;
    // The main window's Read operation (the re-read after a rejected value, the poller's
    // first cycle): it starts the read workers on the link in use.
    virtual void RunRead() = 0;
    // Activate Port asked the USB poller to read on its first cycle; cleared once it has.
    virtual bool ReadOnFirstPollSet() const { return false; }
    virtual void ClearReadOnFirstPoll() {}
    // The entry chosen in the mode list.
    virtual int SelectedMode() const { return 0; }
    // Copies taken when a worker starts, so the window may exchange its controls meanwhile.
    virtual std::string TypedCommand() const { return {}; }
    virtual std::shared_ptr<const std::vector<std::uint8_t>> LoadedFirmware() const {
        return nullptr;
    }
    // Forgets the loaded firmware file (after a printing-class transfer).
    virtual void ReleaseFirmware() {}
    // The user asked to stop (Ctrl-C on the command line): a transfer ends before its next
    // frame. The window never asks.
    virtual bool StopRequested() const { return false; }
};

// Control ids the operations switch.
inline constexpr int kIdActivatePort = 1002;
inline constexpr int kIdResetDefault = 1004;
inline constexpr int kIdRead = 1005;
inline constexpr int kIdWrite = 1006;
inline constexpr int kIdDownload = 1007;
inline constexpr int kIdBrowse = 1008;
inline constexpr int kIdProgress = 1010;
inline constexpr int kIdPercentText = 1011;
inline constexpr int kIdRollerTemperature = 1013;
inline constexpr int kIdEnvironmentTemperature = 1014;
inline constexpr int kIdStateBox = 1015;
inline constexpr int kIdErrorBox = 1016;
inline constexpr int kIdCardChannelBox = 1035;

// Read, Write and Reset Default: off while a read or write run uses the link.
inline void SetOperationButtons(LaminatorView& view, bool enabled) {
    view.EnableButton(kIdRead, enabled);
    view.EnableButton(kIdWrite, enabled);
    view.EnableButton(kIdResetDefault, enabled);
}
