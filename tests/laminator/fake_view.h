#pragma once
// A LaminatorView that records what the operations do to the window.
#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "laminator/laminator_view.h"
#include "laminator/param_store.h"

class FakeView : public LaminatorView {
  public:
    // Like the list: a cell is set only while its group is the one on screen.
    void SetParamCell(const std::string& group, int row, const std::string& text) override {
        std::lock_guard lock(m_mutex);
        m_sets.emplace_back(group, row, text);
        if (group == CurrentGroup())
            m_cells[row] = text;
    }
    std::string GetParamCell(int row) const override {
        std::lock_guard lock(m_mutex);
        auto it = m_cells.find(row);
        return it == m_cells.end() ? std::string() : it->second;
    }
    void EnableButton(int id, bool enabled) override {
        std::lock_guard lock(m_mutex);
        m_buttons[id] = enabled;
    }
    bool IsButtonEnabled(int id) const override {
        std::lock_guard lock(m_mutex);
        auto it = m_buttons.find(id);
        return it == m_buttons.end() || it->second;
    }
    void SetControlText(int id, const std::string& text) override {
        std::lock_guard lock(m_mutex);
        m_texts[id] = text;
        if (id == kIdPercentText)
            m_percentTexts.push_back(text);
    }
    std::string ControlText(int id) const {
        std::lock_guard lock(m_mutex);
        auto it = m_texts.find(id);
        return it == m_texts.end() ? std::string() : it->second;
    }
    void SetProgressRange(int low, int high) override {
        std::lock_guard lock(m_mutex);
        m_range = {low, high};
    }
    void SetProgressPosition(int position) override {
        std::lock_guard lock(m_mutex);
        m_position = position;
    }
    int GetProgressPosition() const override {
        std::lock_guard lock(m_mutex);
        return m_position;
    }
    void RunRead() override { ++m_reads; }
    bool ReadOnFirstPollSet() const override { return m_readOnFirstPoll.load(); }
    void ClearReadOnFirstPoll() override { m_readOnFirstPoll = false; }
    int SelectedMode() const override { return m_mode.load(); }
    std::string TypedCommand() const override {
        std::lock_guard lock(m_mutex);
        return m_command;
    }
    std::shared_ptr<const std::vector<std::uint8_t>> LoadedFirmware() const override {
        std::lock_guard lock(m_mutex);
        return m_firmware;
    }
    void ReleaseFirmware() override {
        std::lock_guard lock(m_mutex);
        m_firmware.reset();
    }

    // What the window would hold.
    void SetReadOnFirstPoll(bool set) { m_readOnFirstPoll = set; }
    void SetMode(int index) { m_mode = index; }
    void SetCommand(const std::string& text) {
        std::lock_guard lock(m_mutex);
        m_command = text;
    }
    void SetFirmware(std::vector<std::uint8_t> bytes) {
        std::lock_guard lock(m_mutex);
        m_firmware = std::make_shared<const std::vector<std::uint8_t>>(std::move(bytes));
    }
    std::pair<int, int> ProgressRange() const {
        std::lock_guard lock(m_mutex);
        return m_range;
    }
    // Every text the percentage box showed, one per change of position.
    std::vector<std::string> PercentTexts() const {
        std::lock_guard lock(m_mutex);
        return m_percentTexts;
    }

    // The technician's edit.
    void SetCell(int row, const std::string& text) {
        std::lock_guard lock(m_mutex);
        m_cells[row] = text;
    }
    void SetCells(const std::vector<std::string>& texts) {
        for (std::size_t i = 0; i < texts.size(); ++i)
            SetCell(static_cast<int>(i), texts[i]);
    }
    void ClearCells() {
        std::lock_guard lock(m_mutex);
        m_cells.clear();
        m_sets.clear();
    }
    std::vector<std::tuple<std::string, int, std::string>> Sets() const {
        std::lock_guard lock(m_mutex);
        return m_sets;
    }
    int Reads() const { return m_reads; }

  private:
    mutable std::mutex m_mutex;
    std::map<int, std::string> m_cells;
    std::map<int, bool> m_buttons;
    std::map<int, std::string> m_texts;
    std::vector<std::tuple<std::string, int, std::string>> m_sets;
    std::atomic<int> m_reads{0};
    std::atomic<bool> m_readOnFirstPoll{false};
    std::atomic<int> m_mode{0};
    std::string m_command;
    std::shared_ptr<const std::vector<std::uint8_t>> m_firmware;
    std::pair<int, int> m_range{0, 0};
    int m_position = 0;
    std::vector<std::string> m_percentTexts;
};
