#include "cli/progress_display.h"

#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>

ProgressDisplay::ProgressDisplay(Style style, std::size_t bytes, std::string target)
    : m_style(style),
      m_bytes(bytes),
      m_target(std::move(target)),
      m_start(std::chrono::steady_clock::now()) {}

void ProgressDisplay::Update(int position, int frames) {
    m_frames = frames;
    Show(position - 1, frames, false);
}

void ProgressDisplay::Show(int position, int frames, bool last) {
    if (frames <= 0 || position < 0)
        return;
    const auto now = std::chrono::steady_clock::now();
    const double seconds = std::chrono::duration<double>(now - m_start).count();
    const double share = static_cast<double>(position) / frames;
    const int percent = static_cast<int>(share * 100);
    const double bytesDone = share * static_cast<double>(m_bytes);
    const double rate = seconds > 0 ? bytesDone / seconds : 0;
    const double left = rate > 0 ? (static_cast<double>(m_bytes) - bytesDone) / rate : 0;
    switch (m_style) {
        case Style::Bar: {
            // A redraw costs more than a frame: at most ten a second, and the last one.
            if (!last && now - m_lastDraw < std::chrono::milliseconds(100))
                return;
            m_lastDraw = now;
            constexpr int kWidth = 30;
            const int filled = static_cast<int>(share * kWidth);
            std::fprintf(stderr, "\r%s: [%s%s] %3d%%  %7.1f KiB/s  %4.0f s left ", m_target.c_str(),
                         std::string(static_cast<std::size_t>(filled), '#').c_str(),
                         std::string(static_cast<std::size_t>(kWidth - filled), ' ').c_str(),
                         percent, rate / 1024, left);
            m_drawn = true;
            break;
        }
        case Style::Lines: {
            const int tenth = percent / 10;
            if (tenth == m_lastTenth && !last)
                return;
            m_lastTenth = tenth;
            std::fprintf(stderr, "%s: %d%%: frame %d of %d, %.1f KiB/s, %.0f s left\n",
                         m_target.c_str(), percent, position, frames, rate / 1024, left);
            break;
        }
        case Style::Json: {
            const int tenth = percent / 10;
            if (tenth == m_lastTenth && !last)
                return;
            m_lastTenth = tenth;
            const nlohmann::json line = {{"target", m_target},
                                         {"frame", position},
                                         {"frames", frames},
                                         {"percent", percent},
                                         {"bytes-per-second", static_cast<long long>(rate)},
                                         {"seconds-left", static_cast<long long>(left)}};
            std::fprintf(stderr, "%s\n", line.dump().c_str());
            break;
        }
    }
    std::fflush(stderr);
}

void ProgressDisplay::Finish(bool complete) {
    if (complete)
        Show(m_frames, m_frames, true);
    if (m_drawn)
        std::fputc('\n', stderr);
}
