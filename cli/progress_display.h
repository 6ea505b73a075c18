#pragma once
// How far a firmware download has got: a bar with percentage, rate and time left on a
// terminal, a plain line every tenth otherwise, JSON objects with --json. All on standard
// error, so standard output keeps the one result document.
#include <chrono>
#include <cstddef>
#include <string>

class ProgressDisplay {
  public:
    enum class Style { Bar, Lines, Json };
    // `target` names the laminator on every line.
    ProgressDisplay(Style style, std::size_t bytes, std::string target);
    // Before each frame goes out the bar moves to `position` of `frames`: the frames before
    // it were sent, so the display shows position - 1.
    void Update(int position, int frames);
    // After the transfer: 100% only when it is `complete`; ends the bar's line.
    void Finish(bool complete);

  private:
    void Show(int sent, int frames, bool last);
    Style m_style;
    std::size_t m_bytes;
    std::string m_target;
    std::chrono::steady_clock::time_point m_start;
    std::chrono::steady_clock::time_point m_lastDraw{};
    int m_lastTenth = -1;
    bool m_drawn = false;
    int m_frames = 0;
};
