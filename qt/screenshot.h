#pragma once
// A window rendered to a PNG file, for documentation and for checking the layout by eye.
#include <string>

class QWidget;

// Renders `window` with its children as on screen; false when the file cannot be written.
bool SaveWindowPng(QWidget* window, const std::string& path);
