#pragma once
// Window icons by resource id, drawn rather than loaded: the program ships no image files.
#include <QIcon>

inline constexpr int kApplicationIconResource = 128;

// A card passing under a heated roller.
QIcon ApplicationIcon();
// The icon for a dialog's icon resource; a null icon for 0 or an unknown id.
QIcon IconForResource(int resourceId);
