#pragma once
// A hook the program installs to add its own parts to a dialog's window once its widgets
// exist, just before it is shown (the status history entry of the main window's menu).
#include <functional>

class Dialog;
class QWidget;
class QtDialogHost;

using WindowShownHook = std::function<void(QtDialogHost& host, Dialog& dialog, QWidget* window)>;
void SetWindowShownHook(WindowShownHook hook);
void RunWindowShownHook(QtDialogHost& host, Dialog& dialog, QWidget* window);
