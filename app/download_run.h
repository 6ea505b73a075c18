#pragma once
// One firmware download of the window, with its own stop token. The transfer sees the window
// through a view that answers the stop question from that token alone, so a stop answered
// for one download never reaches a later Read, Write or download.
#include <atomic>
#include <memory>

#include "framework/worker.h"
#include "laminator/firmware_download.h"
#include "laminator/laminator_view.h"

struct DownloadRun {
    WorkerHandle worker;  // set once, on the window thread, before anyone else sees the run
    FirmwareRoute route = FirmwareRoute::Hid;
    // The file loaded at the click: a Browse during the transfer loads the next one.
    std::shared_ptr<const std::vector<std::uint8_t>> image;
    int frames = 0;
    std::atomic<bool> stop{false};
    bool Running() const { return worker && worker->IsRunning(); }
};

// Everything goes to the window's view except the stop question.
class DownloadView : public LaminatorView {
  public:
    DownloadView(LaminatorView& window, DownloadRun& run) : m_window(window), m_run(run) {}

    void SetParamCell(const std::string& group, int row, const std::string& text) override {
        m_window.SetParamCell(group, row, text);
    }
    std::string GetParamCell(int row) const override { return m_window.GetParamCell(row); }
    void EnableButton(int id, bool enabled) override { m_window.EnableButton(id, enabled); }
    bool IsButtonEnabled(int id) const override { return m_window.IsButtonEnabled(id); }
    void SetControlText(int id, const std::string& text) override {
        m_window.SetControlText(id, text);
    }
    void SetProgressRange(int low, int high) override { m_window.SetProgressRange(low, high); }
    void SetProgressPosition(int position) override { m_window.SetProgressPosition(position); }
    int GetProgressPosition() const override { return m_window.GetProgressPosition(); }
    void RunRead() override { m_window.RunRead(); }
    bool ReadOnFirstPollSet() const override { return m_window.ReadOnFirstPollSet(); }
    void ClearReadOnFirstPoll() override { m_window.ClearReadOnFirstPoll(); }
    int SelectedMode() const override { return m_window.SelectedMode(); }
    std::string TypedCommand() const override { return m_window.TypedCommand(); }
    std::shared_ptr<const std::vector<std::uint8_t>> LoadedFirmware() const override {
        return m_run.image;
    }
    // Only this transfer's file: one the user loaded since stays.
    void ReleaseFirmware() override {
        if (m_window.LoadedFirmware() == m_run.image)
            m_window.ReleaseFirmware();
    }

    bool StopRequested() const override { return m_run.stop.load(); }

  private:
    LaminatorView& m_window;
    DownloadRun& m_run;
};
