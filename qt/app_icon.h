#pragma once
// Window icons by resource id. The application icon is the installed "pellacor" theme icon;
// run from the build tree, where no theme has it, the same picture is drawn.
#include <QIcon>

inline constexpr int kApplicationIconResource = 128;

// A card passing under a heated roller: the theme's icon, else the drawn one.
QIcon ApplicationIcon();
QIcon DrawnApplicationIcon();
// The desktop file name and the icon for the whole application, so every window, message
// boxes included, and the task bar show them; call once after the QApplication is made.
void SetApplicationIdentity();
// The icon for a dialog's icon resource; a null icon for 0 or an unknown id.
QIcon IconForResource(int resourceId);
