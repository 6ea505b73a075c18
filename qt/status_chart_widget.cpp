#include "qt/status_chart_widget.h"

#include <QDateTime>
#include <QHelpEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>
#include <algorithm>
#include <climits>
#include <cmath>

#include "laminator/chart_reduction.h"
#include "laminator/status_csv.h"
#include "qt/control_text.h"

namespace {
constexpr double kLeft = 56, kRight = 10, kTop = 10, kBottom = 24;
constexpr double kMarkReach = 4;  // pixels either side of a mark that show its text
constexpr int kTimeTicks = 4;     // time labels between the two dated ends

// Local time, as the technician's watch shows it, with its offset so it is never taken for
// UTC.
QString LocalTime(std::int64_t ms, bool dated) {
    const QDateTime t = QDateTime::fromMSecsSinceEpoch(ms).toLocalTime();
    if (!dated)
        return t.toString(QStringLiteral("HH:mm:ss"));
    const int offset = t.offsetFromUtc() / 60;
    return t.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) +
           QStringLiteral(" %1%2:%3")
               .arg(offset < 0 ? '-' : '+')
               .arg(std::abs(offset) / 60, 2, 10, QChar('0'))
               .arg(std::abs(offset) % 60, 2, 10, QChar('0'));
}
}  // namespace

StatusChartWidget::StatusChartWidget(QWidget* parent) : QWidget(parent) {
    setMinimumSize(480, 240);
    setMouseTracking(true);
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
}

void StatusChartWidget::SetData(std::vector<StatusSample> samples, std::optional<double> setCelsius,
                                std::int64_t sinceMs, std::int64_t untilMs, bool reduced) {
    m_since = sinceMs;
    m_until = std::max(untilMs, sinceMs + 1);
    m_set = setCelsius;
    m_high = 200;
    for (const StatusSample& s : samples) {
        if (!s.gap)
            m_high = std::max({m_high, s.RollerCelsius() + 10, s.EnvironmentCelsius() + 10});
    }
    if (m_set)
        m_high = std::max(m_high, *m_set + 20);
    m_high = std::ceil(m_high / 50) * 50;
    m_setSeenMs.reset();
    if (m_set) {
        const auto centi = static_cast<std::uint16_t>(std::lround(*m_set * 100));
        for (const StatusSample& s : samples) {
            if (s.gap || s.setCenti == 0)
                continue;
            if (s.setCenti != centi)
                m_setSeenMs.reset();
            else if (!m_setSeenMs)
                m_setSeenMs = s.timeMs;
        }
    }
    m_events = StatusEvents(samples);
    m_drawn = reduced ? std::move(samples)
                      : ReduceForChart(samples, m_since, m_until,
                                       std::max(1, static_cast<int>(Plot().width())));
    update();
}

void StatusChartWidget::SetOperationMarks(std::vector<ChartOperationMark> marks) {
    m_operations = std::move(marks);
    update();
}

QRectF StatusChartWidget::Plot() const {
    return QRectF(kLeft, kTop, width() - kLeft - kRight, height() - kTop - kBottom);
}

double StatusChartWidget::X(std::int64_t t) const {
    const QRectF p = Plot();
    return p.left() +
           p.width() * static_cast<double>(t - m_since) / static_cast<double>(m_until - m_since);
}

double StatusChartWidget::Y(double celsius) const {
    const QRectF p = Plot();
    return p.top() + p.height() * (m_high - celsius) / m_high;
}

std::optional<QString> StatusChartWidget::MarkTextAt(int x) const {
    // Every mark within reach, one line each: a state and an error often change together.
    QStringList lines;
    for (const StatusEvent& e : m_events) {
        if (std::fabs(X(e.timeMs) - x) <= kMarkReach)
            lines << LocalTime(e.timeMs, true) + QStringLiteral("  ") + ToQString(e.text);
    }
    for (const ChartOperationMark& m : m_operations) {
        if (std::fabs(X(m.timeMs) - x) <= kMarkReach)
            lines << LocalTime(m.timeMs, true) + QStringLiteral("  ") + m.text;
    }
    if (lines.isEmpty())
        return std::nullopt;
    return lines.join('\n');
}

std::optional<QString> StatusChartWidget::ReadingTextAt(int x) const {
    const StatusSample* nearest = nullptr;
    double distance = kMarkReach + 1;
    for (const StatusSample& s : m_drawn) {
        const double d = std::fabs(X(s.timeMs) - x);
        if (!s.gap && d < distance) {
            distance = d;
            nearest = &s;
        }
    }
    if (!nearest)
        return std::nullopt;
    return QStringLiteral("%1  roller %2 °C, environment %3 °C")
        .arg(LocalTime(nearest->timeMs, false))
        .arg(nearest->RollerCelsius(), 0, 'f', 2)
        .arg(nearest->EnvironmentCelsius(), 0, 'f', 2);
}

bool StatusChartWidget::ShowsNoReadings() const {
    return std::none_of(m_drawn.begin(), m_drawn.end(),
                        [](const StatusSample& s) { return !s.gap; });
}

QString StatusChartWidget::SetLineLabel() const {
    if (!m_set)
        return {};
    QString label = QStringLiteral("set %1 °C").arg(*m_set, 0, 'f', 1);
    if (m_setSeenMs)
        label += QStringLiteral(", read %1").arg(LocalTime(*m_setSeenMs, false));
    return label;
}

bool StatusChartWidget::event(QEvent* e) {
    if (e->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(e);
        QStringList lines;
        if (const auto reading = ReadingTextAt(help->pos().x()))
            lines << *reading;
        if (const auto marks = MarkTextAt(help->pos().x()))
            lines << *marks;
        if (!lines.isEmpty())
            QToolTip::showText(help->globalPos(), lines.join('\n'), this);
        else
            QToolTip::hideText();
        return true;
    }
    return QWidget::event(e);
}

void StatusChartWidget::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF plot = Plot();
    p.setPen(QPen(palette().mid().color(), 1));
    for (double c = 0; c <= m_high; c += 50) {
        p.drawLine(QPointF(plot.left(), Y(c)), QPointF(plot.right(), Y(c)));
        p.drawText(QRectF(0, Y(c) - 8, kLeft - 4, 16), Qt::AlignRight | Qt::AlignVCenter,
                   QStringLiteral("%1 °C").arg(c));
    }
    // Dated ends, plain times between them: a long span may cross midnight.
    p.setPen(palette().text().color());
    const QRectF under(plot.left(), plot.bottom() + 4, plot.width(), kBottom - 4);
    p.drawText(under, Qt::AlignLeft, LocalTime(m_since, true));
    p.drawText(under, Qt::AlignRight, LocalTime(m_until, true));
    const double endWidth = p.fontMetrics().horizontalAdvance(LocalTime(m_until, true)) + 8;
    for (int i = 1; i <= kTimeTicks; ++i) {
        const std::int64_t t = m_since + (m_until - m_since) * i / (kTimeTicks + 1);
        const QString text = LocalTime(t, false);
        const double half = p.fontMetrics().horizontalAdvance(text) / 2.0 + 4;
        p.drawLine(QPointF(X(t), plot.bottom()), QPointF(X(t), plot.bottom() + 3));
        // Only where the dated ends leave room.
        if (X(t) - half > plot.left() + endWidth && X(t) + half < plot.right() - endWidth)
            p.drawText(QRectF(X(t) - half, under.top(), 2 * half, under.height()), Qt::AlignHCenter,
                       text);
    }
    if (ShowsNoReadings())
        p.drawText(plot, Qt::AlignCenter, QStringLiteral("No readings yet"));
    p.setClipRect(plot);
    if (m_set) {
        p.setPen(QPen(Qt::darkGray, 1, Qt::DashLine));
        p.drawLine(QPointF(plot.left(), Y(*m_set)), QPointF(plot.right(), Y(*m_set)));
        p.setPen(Qt::darkGray);
        p.drawText(QRectF(plot.left() + 4, Y(*m_set) - 18, plot.width() - 8, 16),
                   Qt::AlignLeft | Qt::AlignBottom, SetLineLabel());
    }
    // A month holds thousands of changes: one line of a kind a pixel column is all that
    // shows, and drawing each would hold the window up.
    const auto firstInColumn = [](double x, long& lastColumn) {
        const long column = std::lround(x);
        if (column == lastColumn)
            return false;
        lastColumn = column;
        return true;
    };
    long eventColumn[2] = {LONG_MIN, LONG_MIN};
    for (const StatusEvent& e : m_events) {
        if (!firstInColumn(X(e.timeMs), eventColumn[e.fault ? 1 : 0]))
            continue;
        p.setPen(QPen(e.fault ? QColor(230, 126, 34) : QColor(125, 60, 152, 120), 1));
        p.drawLine(QPointF(X(e.timeMs), plot.top()), QPointF(X(e.timeMs), plot.bottom()));
    }
    // Operations: a line under a small flag at the top, red when the operation failed.
    long markColumn[2] = {LONG_MIN, LONG_MIN};
    for (const ChartOperationMark& m : m_operations) {
        const QColor color = m.failed ? QColor(192, 57, 43) : QColor(30, 132, 73);
        const double x = X(m.timeMs);
        if (!firstInColumn(x, markColumn[m.failed ? 1 : 0]))
            continue;
        p.setPen(QPen(color, 1, Qt::DotLine));
        p.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
        QPainterPath flag;
        flag.moveTo(x, plot.top());
        flag.lineTo(x + 6, plot.top() + 4);
        flag.lineTo(x, plot.top() + 8);
        flag.closeSubpath();
        p.fillPath(flag, color);
    }
    const auto line = [&](double (StatusSample::*celsius)() const, const QColor& color) {
        QPainterPath path;
        std::vector<QPointF> dots;  // readings with no neighbour to join
        int points = 0;
        QPointF last;
        for (const StatusSample& s : m_drawn) {
            if (s.gap) {
                if (points == 1)
                    dots.push_back(last);
                points = 0;
                continue;
            }
            last = QPointF(X(s.timeMs), Y((s.*celsius)()));
            if (points > 0)
                path.lineTo(last);
            else
                path.moveTo(last);
            ++points;
        }
        if (points == 1)
            dots.push_back(last);
        // A one-pixel cosmetic pen is drawn line by line; a wider one strokes the whole path
        // as one shape, which for a month's zigzag held the window up some 60 ms.
        QPen pen(color, 1);
        pen.setCosmetic(true);
        p.setPen(pen);
        p.drawPath(path);
        p.setPen(QPen(color, 3, Qt::SolidLine, Qt::RoundCap));
        for (const QPointF& dot : dots)
            p.drawPoint(dot);
    };
    line(&StatusSample::EnvironmentCelsius, QColor(36, 113, 163));
    line(&StatusSample::RollerCelsius, QColor(192, 57, 43));
}
