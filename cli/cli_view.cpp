#include "cli/cli_view.h"

#include "laminator/param_store.h"
#include "link/reply_wait.h"

void CliView::SetParamCell(const std::string& group, int row, const std::string& text) {
    SetCell(group, row, text);
}

std::string CliView::GetParamCell(int row) const {
    return Cell(CurrentGroup(), row);
}

void CliView::EnableButton(int id, bool enabled) {
    std::lock_guard lock(m_mutex);
    m_buttons[id] = enabled;
}

bool CliView::IsButtonEnabled(int id) const {
    std::lock_guard lock(m_mutex);
    const auto it = m_buttons.find(id);
    return it == m_buttons.end() || it->second;
}

void CliView::SetControlText(int id, const std::string& text) {
    std::lock_guard lock(m_mutex);
    m_texts[id] = text;
}

void CliView::SetProgressRange(int, int high) {
    std::lock_guard lock(m_mutex);
    m_progressHigh = high;
}

void CliView::SetProgressPosition(int position) {
    int high = 0;
    {
        std::lock_guard lock(m_mutex);
        m_progress = position;
        high = m_progressHigh;
    }
    if (onProgress)
        onProgress(position, high);
}

int CliView::GetProgressPosition() const {
    std::lock_guard lock(m_mutex);
    return m_progress;
}

bool CliView::StopRequested() const {
    // A script is better served by one time-out than by one per exchange.
    return Interrupted().load() || LastLinkFailure() != LinkFailure::None;
}

std::string CliView::Cell(const std::string& group, int row) const {
    std::lock_guard lock(m_mutex);
    const auto g = m_cells.find(group);
    if (g == m_cells.end())
        return {};
    const auto r = g->second.find(row);
    return r == g->second.end() ? std::string() : r->second;
}

void CliView::SetCell(const std::string& group, int row, const std::string& text) {
    std::lock_guard lock(m_mutex);
    m_cells[group][row] = text;
}

std::string CliView::ControlText(int id) const {
    std::lock_guard lock(m_mutex);
    const auto it = m_texts.find(id);
    return it == m_texts.end() ? std::string() : it->second;
}

void CliView::ClearControlTexts() {
    std::lock_guard lock(m_mutex);
    m_texts.clear();
}

std::atomic<bool>& CliView::Interrupted() {
    static std::atomic<bool> interrupted{false};
    return interrupted;
}
