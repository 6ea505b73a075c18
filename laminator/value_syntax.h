#pragma once
// What a typed value of a parameter may look like, before any limit is tested: a technician's
// or a script's text is taken only in the form the laminator shows it, never by atoi's
// guesswork, so "155abc" is refused instead of written as 155.
#include <optional>
#include <string>
#include <string_view>

#include "laminator/catalogue.h"

struct ValueSyntax {
    std::optional<std::string> value;  // the text as the laminator shows it, when accepted
    std::string accepted;              // what the parameter takes, for the refusal
};

// Integers: an optional minus sign and digits. Tenths: the same with at most one fraction
// digit. Choices: their text in any case, or its key ("menu-3"). Addresses: four numbers
// 0 to 255 joined by dots; MAC: six hexadecimal pairs joined by colons. Texts as they are.
// The accepted value comes back as a read would show it ("007" gives "7", "12" gives
// "12.0", "close" gives "Close"), so it compares equal to what the laminator holds.
ValueSyntax ParseParameterValue(const ParameterInfo& p, std::string_view text);
// "The value \"x\" of \"Name\" is not accepted: it takes ..." for a refused value.
std::string ValueSyntaxMessage(const ParameterInfo& p, std::string_view text,
                               const std::string& accepted);
