#pragma once
// Dialog and control fonts: the faces our dialogs name are Windows faces; map them to the
// installed faces with the closest metrics.
#include <QFont>
#include <QString>
#include <string>

// The installed family that stands in for `face`.
QString MapFontFace(const std::string& face);
// The dialog font of a template (face and whole points).
QFont DialogFont(const std::string& face, int points);
// A font set on a control by the program (face and tenths of a point).
QFont ControlFont(const std::string& face, int tenthPoints);
