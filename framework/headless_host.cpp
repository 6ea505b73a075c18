#include "framework/headless_host.h"

#include "framework/dialog.h"

HeadlessHost::HeadlessHost() : m_windowThread(std::this_thread::get_id()) {}

void HeadlessHost::ControlChanged(Dialog&, int) {
    std::lock_guard lock(m_mutex);
    ++m_changes;
}

std::size_t HeadlessHost::ChangeCount() const {
    std::lock_guard lock(m_mutex);
    return m_changes;
}

void HeadlessHost::Post(Dialog&, std::function<void()> work) {
    {
        std::lock_guard lock(m_mutex);
        m_queue.push_back(std::move(work));
    }
    m_posted.notify_all();
}

int HeadlessHost::RunModal(Dialog& dialog) {
    dialog.Initialize();
    int result = modalScript ? modalScript(dialog) : IDCANCEL;
    m_lastEnd = result;
    return result;
}

void HeadlessHost::EndDialog(Dialog&, int result) {
    m_lastEnd = result;
}

CellHit HeadlessHost::HitTestCell(Dialog& dialog, int controlId, PixelPoint point) {
    Control* list = dialog.Find(controlId);
    if (!list)
        return {};
    ControlState s = list->Snapshot();
    CellHit hit;
    if (point.y >= kHeaderHeight) {
        int row = (point.y - kHeaderHeight) / kRowHeight;
        if (row < static_cast<int>(s.rows.size()))
            hit.row = row;
    }
    int left = 0;
    for (std::size_t c = 0; c < s.columns.size(); ++c) {
        if (point.x >= left && point.x < left + s.columns[c].widthPixels) {
            hit.column = static_cast<int>(c);
            break;
        }
        left += s.columns[c].widthPixels;
    }
    if (hit.row < 0 || hit.column < 0)
        return {};
    return hit;
}

std::optional<PixelRect> HeadlessHost::CellRect(Dialog& dialog, int controlId, int row,
                                                int column) {
    Control* list = dialog.Find(controlId);
    if (!list)
        return std::nullopt;
    ControlState s = list->Snapshot();
    if (row < 0 || row >= static_cast<int>(s.rows.size()) || column < 0 ||
        column >= static_cast<int>(s.columns.size()))
        return std::nullopt;
    int left = 0;
    for (int c = 0; c < column; ++c)
        left += s.columns[static_cast<std::size_t>(c)].widthPixels;
    return PixelRect{left, kHeaderHeight + row * kRowHeight,
                     s.columns[static_cast<std::size_t>(column)].widthPixels, kRowHeight};
}

std::optional<std::string> HeadlessHost::OpenFileDialog(Dialog&, const std::string&) {
    return nextFileChoice;
}

bool HeadlessHost::IsWindowThread() const {
    return std::this_thread::get_id() == m_windowThread;
}

void HeadlessHost::Open(Dialog& dialog) {
    dialog.Initialize();
}

std::size_t HeadlessHost::Pump() {
    std::size_t ran = 0;
    for (;;) {
        std::function<void()> work;
        {
            std::lock_guard lock(m_mutex);
            if (m_queue.empty())
                return ran;
            work = std::move(m_queue.front());
            m_queue.pop_front();
        }
        work();
        ++ran;
    }
}

bool HeadlessHost::PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        Pump();
        if (done())
            return true;
        std::unique_lock lock(m_mutex);
        if (m_posted.wait_until(
                lock,
                std::min(deadline, std::chrono::steady_clock::now() + std::chrono::milliseconds(5)),
                [&] { return !m_queue.empty(); })) {
            continue;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            lock.unlock();
            Pump();
            return done();
        }
    }
}
