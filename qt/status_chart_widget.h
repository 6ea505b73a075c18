#pragma once
// The live chart of the status history: roller and environment temperatures over the last
// minutes (broken where a cycle got no reply), the set temperature as a dashed line, and a
// mark at each change of state or error whose text shows when the pointer rests on it.
#include <QWidget>
#include <cstdint>
#include <optional>
#include <vector>

#include "laminator/status_events.h"
#include "laminator/status_history.h"

// An operation drawn on the chart as a mark of its own.
struct ChartOperationMark {
    std::int64_t timeMs = 0;
    QString text;
    bool failed = false;
};

class StatusChartWidget : public QWidget {
  public:
    explicit StatusChartWidget(QWidget* parent = nullptr);

    // What to draw: the readings from `sinceMs` to `untilMs`.
    // `reduced`: the samples were reduced for a chart already (on a worker) and are drawn
    // as they are.
    void SetData(std::vector<StatusSample> samples, std::optional<double> setCelsius,
                 std::int64_t sinceMs, std::int64_t untilMs, bool reduced = false);
    void SetOperationMarks(std::vector<ChartOperationMark> marks);
    int OperationMarkCount() const { return static_cast<int>(m_operations.size()); }
    // Readings drawn (after the reduction to the widget's width).
    int PointCount() const { return static_cast<int>(m_drawn.size()); }
    // The texts of the marks within a few pixels of x, one line each.
    std::optional<QString> MarkTextAt(int x) const;
    // The temperatures of the reading drawn nearest to x, when one is within a few pixels.
    std::optional<QString> ReadingTextAt(int x) const;
    // "No readings yet" while the span shown holds no reading.
    bool ShowsNoReadings() const;
    // The set line's label: its value and when the history first recorded it.
    QString SetLineLabel() const;

  protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

  private:
    QRectF Plot() const;
    double X(std::int64_t t) const;
    double Y(double celsius) const;

    std::vector<StatusSample> m_drawn;
    std::vector<StatusEvent> m_events;
    std::vector<ChartOperationMark> m_operations;
    std::optional<double> m_set;
    std::optional<std::int64_t> m_setSeenMs;  // the first reading of the set value's last run
    std::int64_t m_since = 0, m_until = 1;
    double m_high = 200;
};
