#include "qt/base_units.h"

#include <QFontMetrics>

namespace {

// a * b / c rounded half away from zero, as MulDiv does.
int MulDiv(int a, int b, int c) {
    const long long p = static_cast<long long>(a) * b;
    const long long half = c / 2;
    return static_cast<int>(p >= 0 ? (p + half) / c : (p - half) / c);
}

}  // namespace

BaseUnits BaseUnits::Of(const QFont& font) {
    QFontMetrics fm(font);
    const int extent = fm.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    // The average over 52 letters, rounded: (extent / 26 + 1) / 2.
    return BaseUnits((extent / 26 + 1) / 2, fm.height());
}

int BaseUnits::X(int dialogUnits) const {
    return MulDiv(dialogUnits, m_cx, 4);
}

int BaseUnits::Y(int dialogUnits) const {
    return MulDiv(dialogUnits, m_cy, 8);
}

QRect BaseUnits::ToPixels(const DialogRect& rect) const {
    // Convert the corners, not the size, so neighbouring controls stay flush.
    const int left = X(rect.x);
    const int top = Y(rect.y);
    return QRect(left, top, X(rect.x + rect.width) - left, Y(rect.y + rect.height) - top);
}
