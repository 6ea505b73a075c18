#pragma once
// Texts cross between the dialogs (UTF-8, lines ended by "\r\n") and Qt. Texts from the
// laminator are bytes, not always UTF-8: those show one byte as one character.
#include <QString>
#include <QUtf8StringView>
#include <string>

inline QString ToQString(const std::string& text) {
    if (QUtf8StringView(text.data(), static_cast<qsizetype>(text.size())).isValidUtf8())
        return QString::fromStdString(text);
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}
inline std::string ToStdString(const QString& text) {
    return text.toStdString();
}
// A multi-line edit shows "\r\n" as a line break and hands back "\r\n" for each.
inline QString ToDisplayLines(const std::string& text) {
    QString s = ToQString(text);
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return s;
}
inline std::string FromDisplayLines(const QString& text) {
    QString s = text;
    s.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    return s.toStdString();
}
