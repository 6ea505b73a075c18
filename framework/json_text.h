#pragma once
// Laminator texts are single bytes; JSON texts are UTF-8. Every byte is carried as the code
// point of the same number, so any text round-trips through a JSON file unchanged.
#include <optional>
#include <string>
#include <string_view>

std::string BytesToJsonText(std::string_view bytes);
// nullopt for a text that is not UTF-8 or holds a code point above U+00FF.
std::optional<std::string> JsonTextToBytes(std::string_view text);
