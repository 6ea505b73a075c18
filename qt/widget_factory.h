#pragma once
// One widget per control kind, configured from the control's styles. State (texts, items,
// geometry, visibility) is applied afterwards by ApplyControlState.
#include "framework/control.h"

class QWidget;

// A template control: a child of the dialog window.
QWidget* CreateControlWidget(const ControlState& state, QWidget* window);
// An in-place editor over a list cell: a child of `parent` (the list's viewport).
QWidget* CreateInPlaceWidget(const ControlState& state, QWidget* parent);
