#pragma once
// The user's input on a control's widget, turned into state changes and dialog events:
// clicks, toggles, edits, selections, list clicks and double-clicks, header tracking and
// scrolling.
#include "framework/dialog_template.h"

class Dialog;
class QWidget;

void ConnectControlEvents(Dialog& dialog, int index, ControlKind kind, QWidget* widget);
