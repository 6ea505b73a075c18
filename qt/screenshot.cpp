#include "qt/screenshot.h"

#include <QApplication>
#include <QPixmap>
#include <QWidget>

#include "qt/control_text.h"

bool SaveWindowPng(QWidget* window, const std::string& path) {
    if (!window)
        return false;
    // Let queued repaints land first.
    QApplication::processEvents();
    const QPixmap pixmap = window->grab();
    return !pixmap.isNull() && pixmap.save(ToQString(path), "PNG");
}
