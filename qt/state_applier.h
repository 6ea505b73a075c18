#pragma once
// Paints a control's state onto its widget. Only what changed since the last applied state
// is touched, so the user's caret, scroll position and column widths survive repaints.
#include "framework/control.h"
#include "qt/base_units.h"

class QWidget;

// `before` is the state applied last time, or null for a new widget. Call with the widget's
// signals blocked: these are the program's changes, not the user's.
void ApplyControlState(QWidget* widget, const ControlState& now, const ControlState* before,
                       const BaseUnits& units);
