#pragma once
// Names for screen readers: every field and list is named after the label that tells what
// it holds (the static text before it on its row, else its group box), and that label is
// the field's buddy.
#include <QPointer>
#include <QWidget>
#include <optional>
#include <vector>

#include "framework/control.h"

// `states` and `widgets` by control index, as the host keeps them.
void NameFieldsAfterLabels(const std::vector<std::optional<ControlState>>& states,
                           const std::vector<QPointer<QWidget>>& widgets);
