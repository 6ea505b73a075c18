#include "qt/status_chart_widget.h"

#include <QHelpEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>
#include <algorithm>
#include <cmath>

#include "laminator/chart_reduction.h"
#include "laminator/status_csv.h"
#include "qt/control_text.h"

namespace {
constexpr double kLeft = 40, kRight = 10, kTop = 10, kBottom = 24;
constexpr double kMarkReach = 4;  // pixels either side of a mark that show its text
}  // namespace

StatusChartWidget::StatusChartWidget(QWidget* parent) : QWidget(parent) {
    setMinimumSize(480, 240);
    setMouseTracking(true);
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
}

void StatusChartWidget::SetData(std::vector<StatusSample> samples, std::optional<double> setCelsius,
                                std::int64_t sinceMs, std::int64_t untilMs) {
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
    m_events = StatusEvents(samples);
    m_drawn =
        ReduceForChart(samples, m_since, m_until, std::max(1, static_cast<int>(Plot().width())));
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
            lines << QString::fromStdString(IsoTime(e.timeMs).substr(11, 8) + " UTC  ") +
                         ToQString(e.text);
    }
    if (lines.isEmpty())
        return std::nullopt;
    return lines.join('\n');
}

bool StatusChartWidget::event(QEvent* e) {
    if (e->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(e);
        if (const auto text = MarkTextAt(help->pos().x()))
            QToolTip::showText(help->globalPos(), *text, this);
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
                   QString::number(c));
    }
    p.setPen(palette().text().color());
    p.drawText(QRectF(plot.left(), plot.bottom() + 4, plot.width(), kBottom - 4), Qt::AlignLeft,
               QString::fromStdString(IsoTime(m_since).substr(11, 8)));
    p.drawText(QRectF(plot.left(), plot.bottom() + 4, plot.width(), kBottom - 4), Qt::AlignRight,
               QString::fromStdString(IsoTime(m_until).substr(11, 8) + " UTC"));
    p.setClipRect(plot);
    if (m_set) {
        p.setPen(QPen(Qt::darkGray, 1, Qt::DashLine));
        p.drawLine(QPointF(plot.left(), Y(*m_set)), QPointF(plot.right(), Y(*m_set)));
    }
    for (const StatusEvent& e : m_events) {
        p.setPen(QPen(e.fault ? QColor(230, 126, 34) : QColor(125, 60, 152, 120), 1));
        p.drawLine(QPointF(X(e.timeMs), plot.top()), QPointF(X(e.timeMs), plot.bottom()));
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
        p.setPen(QPen(color, 1.5));
        p.drawPath(path);
        p.setPen(QPen(color, 3, Qt::SolidLine, Qt::RoundCap));
        for (const QPointF& dot : dots)
            p.drawPoint(dot);
    };
    line(&StatusSample::EnvironmentCelsius, QColor(36, 113, 163));
    line(&StatusSample::RollerCelsius, QColor(192, 57, 43));
}
