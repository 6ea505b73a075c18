#include "cli/status_chart_svg.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "cli/service_report.h"
#include "laminator/chart_reduction.h"
#include "laminator/status_csv.h"
#include "laminator/status_events.h"
#include "platform/clock.h"

namespace {
constexpr int kLeft = 44, kRight = 10, kTop = 22, kBottom = 28;

// The time as the reader's clock shows it, with its offset so it is never taken for UTC:
// "2026-12-10 08:15:02 +01:00" dated, "08:15:02" not.
std::string LocalTime(std::int64_t ms, bool dated) {
    const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
    std::tm local{};
    long offsetSeconds = 0;
    if (!platform::LocalFields(seconds, local, offsetSeconds))
        return IsoTime(ms);
    char text[64];
    std::strftime(text, sizeof text, dated ? "%Y-%m-%d %H:%M:%S" : "%H:%M:%S", &local);
    if (!dated)
        return text;
    const long offset = offsetSeconds / 60;
    char zone[16];
    std::snprintf(zone, sizeof zone, " %c%02ld:%02ld", offset < 0 ? '-' : '+',
                  std::labs(offset) / 60, std::labs(offset) % 60);
    return std::string(text) + zone;
}

std::string Num(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", v);
    return text;
}

struct Frame {
    std::int64_t t0, t1;
    double low, high;
    int width, height;
    double X(std::int64_t t) const {
        const double span = static_cast<double>(std::max<std::int64_t>(t1 - t0, 1));
        return kLeft + (width - kLeft - kRight) * static_cast<double>(t - t0) / span;
    }
    double Y(double celsius) const {
        return kTop + (height - kTop - kBottom) * (high - celsius) / (high - low);
    }
};

// One path of a temperature, a new subpath after each gap.
std::string TemperaturePath(const std::vector<StatusSample>& samples, const Frame& f,
                            double (StatusSample::*celsius)() const) {
    std::string d;
    int points = 0;  // in the current subpath
    const auto endSubpath = [&] {
        if (points == 1)
            d += " h0";  // a lone reading: a dot, by the round line cap
        points = 0;
    };
    for (const StatusSample& s : samples) {
        if (s.gap) {
            endSubpath();
            continue;
        }
        d += points > 0 ? " L" : " M";
        d += Num(f.X(s.timeMs)) + " " + Num(f.Y((s.*celsius)()));
        ++points;
    }
    endSubpath();
    return d;
}
}  // namespace

std::string StatusChartSvg(const std::vector<StatusSample>& samples,
                           std::optional<double> setCelsius, int width, int height) {
    Frame f{0, 1, 0, 200, width, height};
    bool any = false;
    for (const StatusSample& s : samples) {
        f.t0 = any ? std::min(f.t0, s.timeMs) : s.timeMs;
        f.t1 = any ? std::max(f.t1, s.timeMs) : s.timeMs;
        any = true;
        if (!s.gap)
            f.high = std::max({f.high, s.RollerCelsius() + 10, s.EnvironmentCelsius() + 10});
    }
    if (setCelsius)
        f.high = std::max(f.high, *setCelsius + 20);
    f.high = std::ceil(f.high / 50) * 50;
    std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" class=\"chart\" width=\"" +
                      std::to_string(width) + "\" height=\"" + std::to_string(height) +
                      "\" viewBox=\"0 0 " + std::to_string(width) + " " + std::to_string(height) +
                      "\" role=\"img\">";
    svg += "<title>Roller and environment temperature</title>";
    // Degree grid every 50.
    for (double c = f.low; c <= f.high; c += 50) {
        svg += "<line class=\"grid\" x1=\"" + std::to_string(kLeft) + "\" x2=\"" +
               std::to_string(width - kRight) + "\" y1=\"" + Num(f.Y(c)) + "\" y2=\"" +
               Num(f.Y(c)) + "\"/>";
        svg += "<text class=\"axis\" x=\"" + std::to_string(kLeft - 4) + "\" y=\"" +
               Num(f.Y(c) + 4) + "\" text-anchor=\"end\">" + Num(c).substr(0, Num(c).size() - 2) +
               "</text>";
    }
    svg += "<text class=\"axis\" x=\"" + std::to_string(kLeft - 4) + "\" y=\"" +
           std::to_string(kTop - 10) + "\" text-anchor=\"end\">°C</text>";
    if (!any) {
        svg += "<text class=\"axis\" x=\"" + std::to_string(width / 2) + "\" y=\"" +
               std::to_string(height / 2) + "\" text-anchor=\"middle\">No readings</text></svg>";
        return svg;
    }
    // Dated ends in local time, so a chart printed on its own still says when; plain times
    // between them.
    svg += "<text class=\"axis\" x=\"" + std::to_string(kLeft) + "\" y=\"" +
           std::to_string(height - 8) + "\">" + LocalTime(f.t0, true) + "</text>";
    svg += "<text class=\"axis\" x=\"" + std::to_string(width - kRight) + "\" y=\"" +
           std::to_string(height - 8) + "\" text-anchor=\"end\">" + LocalTime(f.t1, true) +
           "</text>";
    for (int i = 1; i <= 2; ++i) {
        const std::int64_t t = f.t0 + (f.t1 - f.t0) * i / 3;
        const std::string x = Num(f.X(t));
        svg += "<line class=\"grid\" x1=\"" + x + "\" x2=\"" + x + "\" y1=\"" +
               std::to_string(height - kBottom) + "\" y2=\"" +
               std::to_string(height - kBottom + 4) + "\"/>";
        svg += "<text class=\"axis\" x=\"" + x + "\" y=\"" + std::to_string(height - 8) +
               "\" text-anchor=\"middle\">" + LocalTime(t, false) + "</text>";
    }
    if (setCelsius) {
        svg += "<line class=\"set\" x1=\"" + std::to_string(kLeft) + "\" x2=\"" +
               std::to_string(width - kRight) + "\" y1=\"" + Num(f.Y(*setCelsius)) + "\" y2=\"" +
               Num(f.Y(*setCelsius)) + "\"><title>Set temperature " + Num(*setCelsius) +
               " °C</title></line>";
    }
    const std::vector<StatusSample> drawn =
        ReduceForChart(samples, f.t0, f.t1, width - kLeft - kRight);
    svg += "<path class=\"environment\" d=\"" +
           TemperaturePath(drawn, f, &StatusSample::EnvironmentCelsius) + "\"/>";
    svg += "<path class=\"roller\" d=\"" + TemperaturePath(drawn, f, &StatusSample::RollerCelsius) +
           "\"/>";
    // Each mark labelled on the paper, up the line; a mark too close to the last labelled one
    // keeps its text in the hover title and the events table only.
    double labelledX = -1e9;
    for (const StatusEvent& e : StatusEvents(samples)) {
        const double at = f.X(e.timeMs);
        const std::string x = Num(at);
        const std::string text = LocalTime(e.timeMs, false) + " " + XmlEscape(e.text);
        svg += "<line class=\"" + std::string(e.fault ? "mark fault" : "mark") + "\" x1=\"" + x +
               "\" x2=\"" + x + "\" y1=\"" + std::to_string(kTop) + "\" y2=\"" +
               std::to_string(height - kBottom) + "\"><title>" + text + "</title></line>";
        if (at - labelledX < 12)
            continue;
        labelledX = at;
        const std::string y = std::to_string(height - kBottom - 4);
        svg += "<text class=\"mark-label\" x=\"" + Num(at - 3) + "\" y=\"" + y +
               "\" transform=\"rotate(-90 " + Num(at - 3) + " " + y + ")\">" + text + "</text>";
    }
    return svg + "</svg>";
}
