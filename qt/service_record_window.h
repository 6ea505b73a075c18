#pragma once
// "Service record…": one laminator's operations from the journal in a table (local time,
// what, result, details), filtered by kind and by text, beside the status chart over a
// period of the last 5 minutes to 90 days with the operations as marks. Every query runs on
// a worker: the window shows "Loading…" and then the result of the latest period chosen.
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "journal/service_record_view.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QTableWidget;
class StatusChartWidget;

// Where the window finds its record: the journal file (empty when none is kept) and the
// laminator to show (its serial once read, else the link's name).
struct ServiceRecordSource {
    std::function<std::string()> path;
    std::function<std::string()> laminator;
    // On the query's worker, first: records still queued are written.
    std::function<void()> beforeQuery;
};

class ServiceRecordWindow : public QWidget {
  public:
    ServiceRecordWindow(ServiceRecordSource source, QWidget* owner = nullptr);

    // Queries the period chosen again; the result replaces what is shown once it comes.
    void Reload();
    void SetPeriodMinutes(int minutes);
    int PeriodMinutes() const;
    void SetKindFilter(const QString& kind);
    void SetTextFilter(const QString& text);

    // What is on show, for tests: the status line ("Loading…", a problem, a count), the
    // rows the filters let through, and the chart.
    QString StatusText() const;
    bool Loading() const { return m_pending > m_shown; }
    QTableWidget* Table() const { return m_table; }
    StatusChartWidget* Chart() const { return m_chart; }

  private:
    void Show(std::uint64_t query, std::int64_t sinceMs, std::int64_t untilMs,
              std::shared_ptr<ServiceRecordView> view);
    void ApplyFilters();

    ServiceRecordSource m_source;
    QComboBox* m_period = nullptr;
    QComboBox* m_kind = nullptr;
    QLineEdit* m_text = nullptr;
    QLabel* m_status = nullptr;
    QTableWidget* m_table = nullptr;
    StatusChartWidget* m_chart = nullptr;
    std::uint64_t m_pending = 0;  // the latest query started
    std::uint64_t m_shown = 0;    // the query whose result is on show
    std::shared_ptr<ServiceRecordView> m_view;
};

// The source the window's menu entry uses; set once by the program.
void SetServiceRecordSource(ServiceRecordSource source);
// Opens the one service record window of `owner`, or raises it (and reloads) when open.
ServiceRecordWindow* OpenServiceRecordWindow(QWidget* owner);
