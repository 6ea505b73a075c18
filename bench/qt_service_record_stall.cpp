// The window thread's longest stall while the Service record window opens a month: 30 days
// of 2 s readings (1.3 million) thinned as the journal thins them, and an operation every two
// hours. A 1 ms heartbeat timer on the event loop records the longest gap between its ticks;
// the same heartbeat over an idle window in the same run is the baseline, and the load done
// on the window thread itself the figure to compare with.
// Run: QT_QPA_PLATFORM=offscreen ./build/bench/bench_qt_service_record_stall
#include <stdlib.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTableWidget>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <vector>

#include "journal/journal_db.h"
#include "journal/service_record_view.h"
#include "qt/service_record_window.h"
#include "qt/status_chart_widget.h"

namespace {
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
constexpr std::int64_t kDayMs = 86'400'000;
constexpr int kMonthMinutes = 30 * 24 * 60;
constexpr int kRuns = 5;

double LongestGap(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    QElapsedTimer clock;
    clock.start();
    qint64 last = clock.elapsed();
    qint64 longest = 0;
    QTimer beat;
    beat.setInterval(1);
    QObject::connect(&beat, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        longest = std::max(longest, now - last);
        last = now;
    });
    beat.start();
    const auto end = Clock::now() + limit;
    while (!done() && Clock::now() < end)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    beat.stop();
    return static_cast<double>(std::max(longest, clock.elapsed() - last));
}

void Report(const char* action, double gap, double idle) {
    std::printf("%-58s %8.1f ms  %7.1fx idle\n", action, gap, idle > 0 ? gap / idle : 0.0);
    std::fflush(stdout);
}

// A month of one laminator, thinned; false with the reason on standard error.
bool FillMonth(const std::string& path, std::int64_t now) {
    std::string error;
    std::unique_ptr<JournalDb> db = JournalDb::Open(path, error);
    if (!db) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return false;
    }
    RecordFile month;
    month.laminator = {"BENCH-1", "LX", "", "tcp:127.0.0.1:9100"};
    for (std::int64_t t = now - 30 * kDayMs; t < now; t += 2000) {
        StoredReading r;
        r.sample.timeMs = t;
        r.sample.state = static_cast<std::uint32_t>((t / 600'000) % 7);
        r.sample.rollerCenti = static_cast<std::uint16_t>(15000 + (t / 2000) % 3000);
        r.sample.environmentCenti = 2500;
        month.readings.push_back(r);
        if (t % (2 * 3600 * 1000) < 2000)
            month.operations.push_back(
                {t, 10, "tcp", "u", "1", "set", "sent", "",
                 R"({"changes":[{"name":"HeatingRollerTemperature","old":"150","new":"170"}]})"});
    }
    if (!db->Import(month) || !db->Thin(now)) {
        std::fprintf(stderr, "%s\n", db->LastError().c_str());
        return false;
    }
    std::printf("%zu readings and %zu operations written and thinned\n", month.readings.size(),
                month.operations.size());
    return true;
}
}  // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    std::string folder =
        (std::filesystem::temp_directory_path() / "pellacor-bench-XXXXXX").string();
    if (!mkdtemp(folder.data()))
        return 1;
    const std::string path = folder + "/journal.sqlite";
    const std::int64_t now = NowMs();
    if (!FillMonth(path, now))
        return 1;
    QApplication app(argc, argv);
    const ServiceRecordSource source{
        [path] { return path; }, [] { return std::string("BENCH-1"); }, {}};
    // The machine is shared: each figure is the median of five runs.
    const auto median = [](const std::function<double()>& run) {
        std::vector<double> gaps;
        for (int i = 0; i < kRuns; ++i)
            gaps.push_back(run());
        std::sort(gaps.begin(), gaps.end());
        return gaps[kRuns / 2];
    };
    QWidget plain;
    plain.show();
    LongestGap([] { return false; }, 500ms);  // the first show's own work is not idling
    const double idle = median([] { return LongestGap([] { return false; }, 1s); });
    Report("idle window (baseline)", idle, idle);
    {
        // The first window of its kind loads styles and fonts: once, before any is measured.
        ServiceRecordWindow warm(source);
        warm.show();
        LongestGap([&] { return !warm.Loading(); }, 120s);
    }
    int rows = 0, points = 0;
    const double open = median([&] {
        ServiceRecordWindow* window = nullptr;
        bool asked = false;
        const double gap = LongestGap(
            [&] {
                if (!asked) {
                    asked = true;
                    QTimer::singleShot(0, [&] {
                        window = new ServiceRecordWindow(source);
                        window->show();
                        window->SetPeriodMinutes(kMonthMinutes);
                    });
                    return false;
                }
                return window && !window->Loading();
            },
            120s);
        rows = window->Table()->rowCount();
        points = window->Chart()->PointCount();
        window->close();
        return gap;
    });
    Report("Service record window opened on the last 30 days", open, idle);
    std::printf("  %d operations listed, %d points drawn\n", rows, points);
    ServiceRecordWindow window(source);
    window.show();
    const double load = median([&] {
        window.SetPeriodMinutes(5);
        LongestGap([&] { return !window.Loading(); }, 120s);
        bool switched = false;
        return LongestGap(
            [&] {
                if (!switched) {
                    switched = true;
                    QTimer::singleShot(0, [&] { window.SetPeriodMinutes(kMonthMinutes); });
                    return false;
                }
                return !window.Loading();
            },
            120s);
    });
    Report("  the open window switched from 5 minutes to 30 days", load, idle);
    const double blocking = median([&] {
        bool done = false;
        QTimer::singleShot(0, [&] {
            LoadServiceRecord(path, "BENCH-1", now - 30 * kDayMs, NowMs(), 1000);
            done = true;
        });
        return LongestGap([&] { return done; }, 120s);
    });
    Report("  same, loaded on the window thread", blocking, idle);
    std::filesystem::remove_all(folder);
    return 0;
}
