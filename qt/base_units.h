#pragma once
// Dialog units to pixels with the dialog font's base units, measured the way Windows does,
// so a window keeps its designed proportions whatever the installed font.
#include <QFont>
#include <QRect>

#include "framework/geometry.h"

class BaseUnits {
  public:
    BaseUnits() = default;
    BaseUnits(int averageWidth, int height) : m_cx(averageWidth), m_cy(height) {}
    static BaseUnits Of(const QFont& font);

    int AverageWidth() const { return m_cx; }
    int Height() const { return m_cy; }
    int X(int dialogUnits) const;
    int Y(int dialogUnits) const;
    QRect ToPixels(const DialogRect& rect) const;

  private:
    int m_cx = 6;
    int m_cy = 13;
};
