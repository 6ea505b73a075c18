#pragma once
// The checks a Write runs on the list's values before anything is sent.
#include <optional>
#include <string>
#include <string_view>

#include "laminator/laminator_view.h"

inline constexpr std::string_view kReadBeforeWriting = "Please read the parameters before writing!";

// Tests the limits of the group on screen in their fixed order, then that every value the
// write sends was read (no empty numeric or choice cell) and that the network addresses are
// well formed. On the first failure: its message, the re-read, false.
bool ValidateParameters(LaminatorView& view);

// A cell of `group` that must not be written as it stands: an empty numeric or choice cell,
// or an address text that would give the laminator a wrong network setting. Its message,
// or nullopt when the group may be written. The write engine asks again before sending.
std::optional<std::string> FindUnwritableCell(std::string_view group, const LaminatorView& view);
