#pragma once
// Texts cross between the dialogs (UTF-8, lines ended by "\r\n") and Qt.
#include <QString>
#include <string>

inline QString ToQString(const std::string& text) {
    return QString::fromStdString(text);
}
inline std::string ToStdString(const QString& text) {
    return text.toStdString();
}
// A multi-line edit shows "\r\n" as a line break and hands back "\r\n" for each.
inline QString ToDisplayLines(const std::string& text) {
    QString s = QString::fromStdString(text);
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return s;
}
inline std::string FromDisplayLines(const QString& text) {
    QString s = text;
    s.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    return s.toStdString();
}
