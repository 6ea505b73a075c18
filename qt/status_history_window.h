#pragma once
// "Status history…": a window beside the main one with the live chart of the status
// history over the last 5, 30 or 120 minutes, the warm-up figures under it, and buttons to
// save the history as CSV and the chart as PNG. Files are written on a worker thread.
#include <QWidget>
#include <cstdint>
#include <functional>
#include <optional>

#include "laminator/status_history.h"

class QComboBox;
class QLabel;
class QTimer;
class StatusChartWidget;

class StatusHistoryWindow : public QWidget {
  public:
    // `setTemperature` gives the set roller temperature when one was read.
    StatusHistoryWindow(StatusHistory& history,
                        std::function<std::optional<double>()> setTemperature,
                        QWidget* owner = nullptr);

    // Redraws from the history now (the window also does so every second).
    void Refresh();
    StatusChartWidget* Chart() const { return m_chart; }
    QString WarmupText() const;
    // The span shown, in minutes.
    int SpanMinutes() const;
    void SetSpanMinutes(int minutes);
    // Writes the whole history, or the chart, to `path` on a worker; `done` gets the
    // message on the window thread.
    void SaveCsv(const QString& path, std::function<void(QString)> done = {});
    void SavePng(const QString& path, std::function<void(QString)> done = {});

  private:
    void ChooseAndSave(bool csv);

    StatusHistory& m_history;
    std::function<std::optional<double>()> m_setTemperature;
    QWidget* m_picture = nullptr;  // legend, chart and figures
    StatusChartWidget* m_chart = nullptr;
    QComboBox* m_span = nullptr;
    QLabel* m_warmup = nullptr;
    QLabel* m_saved = nullptr;
    QTimer* m_timer = nullptr;
    std::uint64_t m_figuresRevision = ~0ull;
};

// Opens the one status history window of `owner`, or raises it when open.
StatusHistoryWindow* OpenStatusHistoryWindow(QWidget* owner);
