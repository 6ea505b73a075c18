#include "qt/file_filter.h"

#include <QStringList>

QString ToQtFileFilter(const std::string& filter) {
    const QStringList parts = QString::fromStdString(filter).split(QLatin1Char('|'));
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString label = parts[i].trimmed();
        // Several patterns are separated by ';' there and by blanks here.
        QString pattern = parts[i + 1].trimmed();
        pattern.replace(QLatin1Char(';'), QLatin1Char(' '));
        if (label.isEmpty() && pattern.isEmpty())
            break;  // the closing "||"
        // A label that already shows its pattern, as "(*.mot)" does, would show it twice.
        const QString shown = QStringLiteral("(%1)").arg(pattern);
        if (label.endsWith(shown))
            entries << label;
        else
            entries << QStringLiteral("%1 %2").arg(label, shown).trimmed();
    }
    return entries.join(QStringLiteral(";;"));
}
