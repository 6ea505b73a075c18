#pragma once
// The command line's side of the engines' view: list cells become values it prints or
// sends, status boxes become readings, the progress bar a callback. Buttons are state only.
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "laminator/laminator_view.h"

class CliView : public LaminatorView {
  public:
    void SetParamCell(const std::string& group, int row, const std::string& text) override;
    std::string GetParamCell(int row) const override;
    void EnableButton(int id, bool enabled) override;
    bool IsButtonEnabled(int id) const override;
    void SetControlText(int id, const std::string& text) override;
    void SetProgressRange(int low, int high) override;
    void SetProgressPosition(int position) override;
    int GetProgressPosition() const override;
    // The window re-reads after a refused value; the command line stops there instead.
    void RunRead() override {}
    int SelectedMode() const override { return m_mode; }
    std::string TypedCommand() const override { return m_command; }
    std::shared_ptr<const std::vector<std::uint8_t>> LoadedFirmware() const override {
        return m_firmware;
    }
    void ReleaseFirmware() override { m_firmware.reset(); }
    bool StopRequested() const override;

    // Cells by group, independent of the current group: what a read filled, what a write
    // of that group will send.
    std::string Cell(const std::string& group, int row) const;
    void SetCell(const std::string& group, int row, const std::string& text);
    std::string ControlText(int id) const;
    void ClearControlTexts();

    void SetMode(int index) { m_mode = index; }
    void SetCommand(std::string text) { m_command = std::move(text); }
    void SetFirmware(std::shared_ptr<const std::vector<std::uint8_t>> bytes) {
        m_firmware = std::move(bytes);
    }
    // Called with (position, high) whenever the progress bar moves.
    std::function<void(int, int)> onProgress;
    // Set by the interrupt handler.
    static std::atomic<bool>& Interrupted();

  private:
    mutable std::mutex m_mutex;
    std::map<std::string, std::map<int, std::string>> m_cells;
    std::map<int, std::string> m_texts;
    std::map<int, bool> m_buttons;
    int m_progressHigh = 0;
    int m_progress = 0;
    int m_mode = 0;
    std::string m_command;
    std::shared_ptr<const std::vector<std::uint8_t>> m_firmware;
};
