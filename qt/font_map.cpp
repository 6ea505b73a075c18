#include "qt/font_map.h"

#include <QFontDatabase>
#include <QStringList>

namespace {

bool Installed(const QString& family) {
    return QFontDatabase::families().contains(family, Qt::CaseInsensitive);
}

QString FirstInstalled(const QStringList& candidates) {
    for (const QString& c : candidates) {
        if (Installed(c))
            return c;
    }
    return candidates.back();
}

}  // namespace

QString MapFontFace(const std::string& face) {
    const QString name = QString::fromStdString(face);
    static const QStringList kUiFaces = {"MS Shell Dlg",         "MS Shell Dlg 2", "MS Sans Serif",
                                         "Microsoft Sans Serif", "Tahoma",         "Arial"};
    // SimHei under its Chinese and its Latin name.
    static const QStringList kHeiFaces = {QStringLiteral(u"黑体"), "SimHei"};
    if (name.isEmpty() || kUiFaces.contains(name, Qt::CaseInsensitive))
        return FirstInstalled({"Liberation Sans", "DejaVu Sans"});
    if (kHeiFaces.contains(name, Qt::CaseInsensitive))
        return FirstInstalled({"Noto Sans CJK SC", "DejaVu Sans"});
    return name;
}

QFont DialogFont(const std::string& face, int points) {
    QFont font(MapFontFace(face));
    font.setPointSize(points > 0 ? points : 8);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

QFont ControlFont(const std::string& face, int tenthPoints) {
    QFont font(MapFontFace(face));
    font.setPointSizeF(tenthPoints > 0 ? tenthPoints / 10.0 : 8.0);
    font.setStyleHint(QFont::SansSerif);
    return font;
}
