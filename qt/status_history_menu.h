#pragma once
// "Status history…" and "Service record…" in the context menu of the main window's
// "Laminator info" frame: on its temperature and status boxes (after the edit box's own
// entries) and on the frame itself.
class QWidget;
class QtDialogHost;
class Dialog;

inline constexpr const char* kStatusHistoryMenuText = "Status history…";
inline constexpr const char* kServiceRecordMenuText = "Service record…";

void AddStatusHistoryMenu(QtDialogHost& host, Dialog& dialog, QWidget* window);
