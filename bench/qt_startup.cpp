// Start-up to the first shown main window, against a bare Qt window of the same size shown
// the same way in the same run; peak memory of the whole run as a counter.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <QApplication>
#include <QWidget>

#include "app/corvane_dlg.h"
#include "framework/message_box.h"
#include "qt/qt_dialog_host.h"

namespace {
QApplication& App() {
    static int argc = 1;
    static char name[] = "bench_qt_startup";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QApplication(argc, argv);
    }();
    return *app;
}

double PeakMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void BareWindow(benchmark::State& state) {
    App();
    for (auto _ : state) {
        QWidget window;
        window.setFixedSize(963, 651);
        window.show();
        QApplication::processEvents();
        benchmark::DoNotOptimize(window.isVisible());
    }
    state.counters["peak_MB"] = PeakMegabytes();
}
BENCHMARK(BareWindow)->Unit(benchmark::kMillisecond);

void MainWindow(benchmark::State& state) {
    App();
    QtDialogHost host;
    for (auto _ : state) {
        CCorvaneDlg dlg(&host);
        QWidget* window = host.Show(dlg);
        QApplication::processEvents();
        benchmark::DoNotOptimize(window->isVisible());
        host.Close(dlg);
    }
    state.counters["peak_MB"] = PeakMegabytes();
}
BENCHMARK(MainWindow)->Unit(benchmark::kMillisecond);
}  // namespace

BENCHMARK_MAIN();
