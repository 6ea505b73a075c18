#include "qt/status_history_window.h"

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "framework/file_write.h"
#include "laminator/param_store.h"
#include "laminator/status_csv.h"
#include "laminator/warmup_figures.h"
#include "qt/status_chart_widget.h"

namespace {
constexpr int kSpans[] = {5, 30, 120};

QString Figure(const std::optional<double>& v, const char* unit) {
    return v ? QString::number(*v, 'f', 1) + " " + unit : QStringLiteral("not covered");
}

// Runs `work` on a worker and hands its message to `done` on the window thread, unless the
// window has gone.
void OffThread(QWidget* window, std::function<QString()> work, std::function<void(QString)> done) {
    QPointer<QWidget> guard(window);
    std::thread([guard, work = std::move(work), done = std::move(done)] {
        const QString message = work();
        QMetaObject::invokeMethod(
            qApp,
            [guard, done, message] {
                if (guard && done)
                    done(message);
            },
            Qt::QueuedConnection);
    }).detach();
}

std::optional<double> SetTemperatureFromStore() {
    const std::string text = Store().Get(ParamKey::HeatingRollerTemperature);
    if (text.empty())
        return std::nullopt;
    return std::atof(text.c_str());
}
}  // namespace

StatusHistoryWindow::StatusHistoryWindow(StatusHistory& history,
                                         std::function<std::optional<double>()> setTemperature,
                                         QWidget* owner)
    : QWidget(owner, Qt::Window), m_history(history), m_setTemperature(std::move(setTemperature)) {
    setWindowTitle(QStringLiteral("Status history"));
    setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    m_span = new QComboBox(this);
    for (int minutes : kSpans)
        m_span->addItem(QStringLiteral("Last %1 minutes").arg(minutes), minutes);
    top->addWidget(new QLabel(QStringLiteral("Show:"), this));
    top->addWidget(m_span);
    top->addStretch();
    auto* legend =
        new QLabel(QStringLiteral("<span style='color:#c0392b'>— roller</span>&nbsp;&nbsp;"
                                  "<span style='color:#2471a3'>— environment</span>&nbsp;&nbsp;"
                                  "<span style='color:#555'>- - set temperature</span>"),
                   this);
    layout->addLayout(top);
    // The legend, the chart and the figures together: what Save PNG keeps.
    m_picture = new QWidget(this);
    m_picture->setBackgroundRole(QPalette::Base);
    m_picture->setAutoFillBackground(true);
    auto* picture = new QVBoxLayout(m_picture);
    picture->addWidget(legend);
    m_chart = new StatusChartWidget(m_picture);
    picture->addWidget(m_chart, 1);
    m_warmup = new QLabel(m_picture);
    picture->addWidget(m_warmup);
    layout->addWidget(m_picture, 1);
    auto* buttons = new QHBoxLayout;
    auto* csv = new QPushButton(QStringLiteral("Save CSV…"), this);
    auto* png = new QPushButton(QStringLiteral("Save PNG…"), this);
    m_saved = new QLabel(this);
    buttons->addWidget(csv);
    buttons->addWidget(png);
    buttons->addWidget(m_saved, 1);
    layout->addLayout(buttons);
    connect(m_span, &QComboBox::currentIndexChanged, this, [this] { Refresh(); });
    connect(csv, &QPushButton::clicked, this, [this] { ChooseAndSave(true); });
    connect(png, &QPushButton::clicked, this, [this] { ChooseAndSave(false); });
    // The time axis moves on even when no reading comes.
    m_timer = new QTimer(this);
    m_timer->setInterval(1000);
    connect(m_timer, &QTimer::timeout, this, [this] { Refresh(); });
    m_timer->start();
    resize(760, 420);
    Refresh();
}

int StatusHistoryWindow::SpanMinutes() const {
    return m_span->currentData().toInt();
}

void StatusHistoryWindow::SetSpanMinutes(int minutes) {
    const int index = m_span->findData(minutes);
    if (index >= 0)
        m_span->setCurrentIndex(index);
}

QString StatusHistoryWindow::WarmupText() const {
    return m_warmup->text();
}

void StatusHistoryWindow::Refresh() {
    const std::int64_t now = NowMs();
    const std::int64_t since = now - static_cast<std::int64_t>(SpanMinutes()) * 60000;
    const std::optional<double> set = m_setTemperature ? m_setTemperature() : std::nullopt;
    m_chart->SetData(m_history.Snapshot(since), set, since, now);
    // The figures cover the whole history; worked out again only when it grew.
    const std::uint64_t revision = m_history.Revision();
    if (revision == m_figuresRevision)
        return;
    m_figuresRevision = revision;
    const WarmupFigures f = ComputeWarmup(m_history.Snapshot(), set);
    m_warmup->setText(QStringLiteral("Set %4: time to within 5 °C: %1    "
                                     "Overshoot: %2    Spread within 5 °C once ready: %3")
                          .arg(Figure(f.secondsToBand, "s"), Figure(f.overshoot, "°C"),
                               Figure(f.spread, "°C"), Figure(f.setCelsius, "°C")));
}

void StatusHistoryWindow::SaveCsv(const QString& path, std::function<void(QString)> done) {
    OffThread(
        this,
        [samples = m_history.Snapshot(), file = path.toStdString(), path] {
            // Whole or not at all, with the reason: an old file is never left half written.
            std::string error;
            if (WriteFileWhole(file, StatusCsv(samples), "The status history", error))
                return QStringLiteral("Saved %1").arg(path);
            return QString::fromStdString(error);
        },
        std::move(done));
}

void StatusHistoryWindow::SavePng(const QString& path, std::function<void(QString)> done) {
    const QImage image = m_picture->grab().toImage();
    OffThread(
        this,
        [image, path] {
            return image.save(path, "PNG") ? QStringLiteral("Saved %1").arg(path)
                                           : QStringLiteral("%1 cannot be written.").arg(path);
        },
        std::move(done));
}

void StatusHistoryWindow::ChooseAndSave(bool csv) {
    const QString path = QFileDialog::getSaveFileName(
        this, csv ? QStringLiteral("Save the status history") : QStringLiteral("Save the chart"),
        csv ? QStringLiteral("status-history.csv") : QStringLiteral("status-history.png"),
        csv ? QStringLiteral("CSV (*.csv)") : QStringLiteral("PNG (*.png)"));
    if (path.isEmpty())
        return;
    const auto show = [this](QString message) { m_saved->setText(message); };
    if (csv)
        SaveCsv(path, show);
    else
        SavePng(path, show);
}

StatusHistoryWindow* OpenStatusHistoryWindow(QWidget* owner) {
    static QPointer<StatusHistoryWindow> open;
    if (!open)
        open = new StatusHistoryWindow(SharedStatusHistory(), SetTemperatureFromStore, owner);
    open->show();
    open->raise();
    open->activateWindow();
    return open;
}
