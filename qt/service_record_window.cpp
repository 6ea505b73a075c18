#include "qt/service_record_window.h"

#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>
#include <thread>

#include "laminator/status_history.h"
#include "qt/status_chart_widget.h"

namespace {
constexpr struct {
    int minutes;
    const char* label;
} kPeriods[] = {
    {5, "Last 5 minutes"},          {60, "Last hour"},
    {8 * 60, "Last 8 hours"},       {24 * 60, "Last day"},
    {7 * 24 * 60, "Last 7 days"},   {30 * 24 * 60, "Last 30 days"},
    {90 * 24 * 60, "Last 90 days"},
};
constexpr int kDefaultPeriod = 3;  // the last day

ServiceRecordSource& GlobalSource() {
    static ServiceRecordSource source;
    return source;
}

QString Local(std::int64_t ms) {
    return QDateTime::fromMSecsSinceEpoch(ms).toLocalTime().toString(
        QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

bool Failed(const std::string& result) {
    return result != "done" && result != "sent";
}
}  // namespace

ServiceRecordWindow::ServiceRecordWindow(ServiceRecordSource source, QWidget* owner)
    : QWidget(owner, Qt::Window), m_source(std::move(source)) {
    setWindowTitle(QStringLiteral("Service record"));
    setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    m_period = new QComboBox(this);
    for (const auto& p : kPeriods)
        m_period->addItem(QString::fromUtf8(p.label), p.minutes);
    m_period->setCurrentIndex(kDefaultPeriod);
    m_kind = new QComboBox(this);
    m_kind->addItem(QStringLiteral("All operations"), QString());
    m_text = new QLineEdit(this);
    m_text->setPlaceholderText(QStringLiteral("Filter by text"));
    m_text->setClearButtonEnabled(true);
    top->addWidget(new QLabel(QStringLiteral("Period:"), this));
    top->addWidget(m_period);
    top->addSpacing(12);
    top->addWidget(new QLabel(QStringLiteral("Show:"), this));
    top->addWidget(m_kind);
    top->addWidget(m_text, 1);
    layout->addLayout(top);
    m_status = new QLabel(this);
    m_status->setWordWrap(true);
    layout->addWidget(m_status);
    auto* split = new QSplitter(Qt::Horizontal, this);
    m_table = new QTableWidget(0, 4, split);
    m_table->setHorizontalHeaderLabels({QStringLiteral("Time"), QStringLiteral("What"),
                                        QStringLiteral("Result"), QStringLiteral("Details")});
    m_table->verticalHeader()->hide();
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->setWordWrap(false);
    m_chart = new StatusChartWidget(split);
    split->addWidget(m_table);
    split->addWidget(m_chart);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);
    layout->addWidget(split, 1);
    connect(m_period, &QComboBox::currentIndexChanged, this, [this] { Reload(); });
    connect(m_kind, &QComboBox::currentIndexChanged, this, [this] { ApplyFilters(); });
    connect(m_text, &QLineEdit::textChanged, this, [this] { ApplyFilters(); });
    resize(1100, 480);
    Reload();
}

int ServiceRecordWindow::PeriodMinutes() const {
    return m_period->currentData().toInt();
}

void ServiceRecordWindow::SetPeriodMinutes(int minutes) {
    const int index = m_period->findData(minutes);
    if (index >= 0)
        m_period->setCurrentIndex(index);
}

void ServiceRecordWindow::SetKindFilter(const QString& kind) {
    const int index = m_kind->findData(kind);
    m_kind->setCurrentIndex(index >= 0 ? index : 0);
}

void ServiceRecordWindow::SetTextFilter(const QString& text) {
    m_text->setText(text);
}

QString ServiceRecordWindow::StatusText() const {
    return m_status->text();
}

void ServiceRecordWindow::Reload() {
    const std::uint64_t query = ++m_pending;
    const std::int64_t until = NowMs();
    const std::int64_t since = until - static_cast<std::int64_t>(PeriodMinutes()) * 60000;
    const std::string path = m_source.path ? m_source.path() : std::string();
    const std::string laminator = m_source.laminator ? m_source.laminator() : std::string();
    const int columns = std::max(480, m_chart->width());
    m_status->setText(QStringLiteral("Loading…"));
    QPointer<ServiceRecordWindow> guard(this);
    std::thread([guard, query, since, until, path, laminator, columns,
                 before = m_source.beforeQuery] {
        if (before)
            before();
        auto view = std::make_shared<ServiceRecordView>(
            LoadServiceRecord(path, laminator, since, until, columns));
        QMetaObject::invokeMethod(
            qApp,
            [guard, query, since, until, view] {
                if (guard)
                    guard->Show(query, since, until, view);
            },
            Qt::QueuedConnection);
    }).detach();
}

void ServiceRecordWindow::Show(std::uint64_t query, std::int64_t sinceMs, std::int64_t untilMs,
                               std::shared_ptr<ServiceRecordView> view) {
    // A period chosen since asked again: only its answer is shown.
    if (query != m_pending)
        return;
    m_shown = query;
    m_view = std::move(view);
    const QString kind = m_kind->currentData().toString();
    {
        const QSignalBlocker block(m_kind);
        m_kind->clear();
        m_kind->addItem(QStringLiteral("All operations"), QString());
        std::vector<std::string> kinds;
        for (const StoredOperation& o : m_view->operations) {
            if (std::find(kinds.begin(), kinds.end(), o.record.kind) == kinds.end())
                kinds.push_back(o.record.kind);
        }
        std::sort(kinds.begin(), kinds.end());
        for (const std::string& k : kinds)
            m_kind->addItem(QString::fromStdString(OperationWhat(k)), QString::fromStdString(k));
        const int index = m_kind->findData(kind);
        m_kind->setCurrentIndex(index >= 0 ? index : 0);
    }
    m_table->setUpdatesEnabled(false);
    m_table->setRowCount(0);
    std::vector<ChartOperationMark> marks;
    if (m_view->problem.empty()) {
        const int rows = static_cast<int>(m_view->operations.size());
        m_table->setRowCount(rows);
        // Newest first, as a technician reads a record.
        for (int i = 0; i < rows; ++i) {
            const StoredOperation& o = m_view->operations[static_cast<std::size_t>(rows - 1 - i)];
            const QString what = QString::fromStdString(OperationWhat(o.record.kind));
            const QString details =
                QString::fromStdString(m_view->details[static_cast<std::size_t>(rows - 1 - i)]);
            const QString cells[] = {Local(o.record.timeMs), what,
                                     QString::fromStdString(o.record.result), details};
            for (int c = 0; c < 4; ++c) {
                auto* item = new QTableWidgetItem(cells[c]);
                if (c == 0)
                    item->setData(Qt::UserRole, QString::fromStdString(o.record.kind));
                if (c == 3)
                    item->setToolTip(details);
                m_table->setItem(i, c, item);
            }
            marks.push_back({o.record.timeMs,
                             what + QStringLiteral(": ") + QString::fromStdString(o.record.result),
                             Failed(o.record.result)});
        }
        // Widths from the texts that can occur, not from every cell: measuring a few
        // hundred rows would hold the window up.
        const QFontMetrics metrics = m_table->fontMetrics();
        int whatWidth = metrics.horizontalAdvance(QStringLiteral("What"));
        for (int i = 1; i < m_kind->count(); ++i)
            whatWidth = std::max(whatWidth, metrics.horizontalAdvance(m_kind->itemText(i)));
        m_table->setColumnWidth(0, metrics.horizontalAdvance(Local(0)) + 16);
        m_table->setColumnWidth(1, whatWidth + 16);
        m_table->setColumnWidth(2, metrics.horizontalAdvance(QStringLiteral("interrupted")) + 16);
    }
    m_table->setUpdatesEnabled(true);
    m_chart->SetData(m_view->chart, std::nullopt, sinceMs, untilMs, true);
    m_chart->SetOperationMarks(std::move(marks));
    ApplyFilters();
}

void ServiceRecordWindow::ApplyFilters() {
    if (!m_view)
        return;
    if (!m_view->problem.empty()) {
        m_status->setText(QString::fromStdString(m_view->problem));
        return;
    }
    const QString kind = m_kind->currentData().toString();
    const QString text = m_text->text().trimmed();
    int shown = 0;
    for (int row = 0; row < m_table->rowCount(); ++row) {
        bool visible = kind.isEmpty() || m_table->item(row, 0)->data(Qt::UserRole) == kind;
        if (visible && !text.isEmpty()) {
            visible = false;
            for (int c = 0; c < 4 && !visible; ++c)
                visible = m_table->item(row, c)->text().contains(text, Qt::CaseInsensitive);
        }
        m_table->setRowHidden(row, !visible);
        shown += visible ? 1 : 0;
    }
    QString status = QStringLiteral("%1 of %2 operations, %3 readings in the period")
                         .arg(shown)
                         .arg(m_table->rowCount())
                         .arg(m_view->readings);
    if (m_table->rowCount() == 0)
        status = QStringLiteral("No operations in the period; %1 readings").arg(m_view->readings);
    m_status->setText(status);
}

void SetServiceRecordSource(ServiceRecordSource source) {
    GlobalSource() = std::move(source);
}

ServiceRecordWindow* OpenServiceRecordWindow(QWidget* owner) {
    static QPointer<ServiceRecordWindow> open;
    if (!open)
        open = new ServiceRecordWindow(GlobalSource(), owner);
    else
        open->Reload();
    open->show();
    open->raise();
    open->activateWindow();
    return open;
}
