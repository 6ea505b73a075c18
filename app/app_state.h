#pragma once
// Process-wide state the main window declares for the workers and the network dialogs.
#include <atomic>

class CCorvaneDlg;

// Copy of the Auto detect checkbox; the device list dialog reads it after a connection.
extern std::atomic<int> AutoDetectEnabled;
// The main window, once its initialisation ran.
extern std::atomic<CCorvaneDlg*> MainDialog;
