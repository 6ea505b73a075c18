#include "qt/app_icon.h"

#include <QApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

QPixmap DrawIcon(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);

    // The card, fed from the left, half through the rollers.
    QPainterPath card;
    card.addRoundedRect(QRectF(4, 28, 46, 24), 4, 4);
    p.fillPath(card, QColor(0x2f, 0x6f, 0xb8));
    p.setPen(QPen(QColor(0x1b, 0x3f, 0x6b), 1.5));
    p.drawPath(card);
    // The laminated part of the card shines.
    p.fillRect(QRectF(30, 29, 19, 22), QColor(255, 255, 255, 90));
    p.fillRect(QRectF(9, 33, 10, 7), QColor(0xf2, 0xc9, 0x4c));  // chip

    // Heated upper roller and plain lower roller.
    QLinearGradient heat(0, 3, 0, 27);
    heat.setColorAt(0, QColor(0xff, 0xb0, 0x40));
    heat.setColorAt(1, QColor(0xd0, 0x30, 0x20));
    p.setPen(QPen(QColor(0x60, 0x20, 0x10), 1.5));
    p.setBrush(heat);
    p.drawEllipse(QPointF(40, 15), 12, 12);
    p.setBrush(QColor(0x90, 0x90, 0x98));
    p.setPen(QPen(QColor(0x40, 0x40, 0x48), 1.5));
    p.drawEllipse(QPointF(40, 57), 5, 5);
    p.setBrush(QColor(0x60, 0x20, 0x10));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(40, 15), 3, 3);
    return pixmap;
}

}  // namespace

QIcon DrawnApplicationIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64})
        icon.addPixmap(DrawIcon(size));
    return icon;
}

QIcon ApplicationIcon() {
    return QIcon::fromTheme(QStringLiteral("pellacor"), DrawnApplicationIcon());
}

void SetApplicationIdentity() {
    QGuiApplication::setDesktopFileName(QStringLiteral("pellacor"));
    QApplication::setWindowIcon(ApplicationIcon());
}

QIcon IconForResource(int resourceId) {
    if (resourceId == kApplicationIconResource)
        return ApplicationIcon();
    return QIcon();
}
