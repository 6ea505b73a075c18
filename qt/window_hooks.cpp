#include "qt/window_hooks.h"

namespace {
WindowShownHook& Hook() {
    static WindowShownHook hook;
    return hook;
}
}  // namespace

void SetWindowShownHook(WindowShownHook hook) {
    Hook() = std::move(hook);
}

void RunWindowShownHook(QtDialogHost& host, Dialog& dialog, QWidget* window) {
    if (Hook())
        Hook()(host, dialog, window);
}
