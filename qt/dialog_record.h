#pragma once
// What the Qt host keeps per shown dialog.
#include <QHash>
#include <QPointer>
#include <QWidget>
#include <optional>
#include <set>
#include <vector>

#include "framework/control.h"
#include "qt/base_units.h"
#include "qt/dialog_window.h"

class Dialog;
class QEventLoop;

struct DialogRecord {
    Dialog* dialog = nullptr;
    bool modal = false;
    unsigned long long order = 0;  // when it was built, to find the newest window

    // GUI thread only.
    QPointer<DialogWindow> window;
    BaseUnits units;
    std::vector<QPointer<QWidget>> widgets;            // by control index; null: none
    std::vector<std::optional<ControlState>> applied;  // the state each widget shows
    QHash<const QWidget*, int> indexOf;
    int knownFocus = -1;  // the focus index the widgets show
    QEventLoop* loop = nullptr;
    std::optional<int> result;

    // Under the host's mutex: any thread marks controls dirty.
    std::set<int> dirty;
    bool flushPending = false;
    bool closed = false;
};
