#pragma once
// The headless host: deterministic geometry, posted work run when the test pumps, modal
// dialogs answered by a script. The thread that creates it is the window thread.
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "framework/dialog_host.h"

class HeadlessHost : public DialogHost {
  public:
    // Headless list geometry, in pixels.
    static constexpr int kHeaderHeight = 20;
    static constexpr int kRowHeight = 16;

    HeadlessHost();

    void ControlChanged(Dialog& dialog, int index) override;
    void Post(Dialog& dialog, std::function<void()> work) override;
    int RunModal(Dialog& dialog) override;
    void EndDialog(Dialog& dialog, int result) override;
    CellHit HitTestCell(Dialog& dialog, int controlId, PixelPoint point) override;
    std::optional<PixelRect> CellRect(Dialog& dialog, int controlId, int row, int column) override;
    std::optional<std::string> OpenFileDialog(Dialog& dialog, const std::string& filter) override;
    bool IsWindowThread() const override;

    // Initialises a modeless dialog (the main window under test).
    void Open(Dialog& dialog);
    // Runs posted work until none is queued.
    std::size_t Pump();
    // Pumps until `done` holds or the time-out passes; false on time-out.
    bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);

    // What RunModal does after OnInitDialog (tests script the user here); the default
    // closes the dialog with IDCANCEL.
    std::function<int(Dialog&)> modalScript;
    // What OpenFileDialog answers.
    std::optional<std::string> nextFileChoice;
    int LastEndResult() const { return m_lastEnd; }
    std::size_t ChangeCount() const;

  private:
    std::thread::id m_windowThread;
    mutable std::mutex m_mutex;
    std::condition_variable m_posted;
    std::deque<std::function<void()>> m_queue;
    std::size_t m_changes = 0;
    int m_lastEnd = 0;
};
