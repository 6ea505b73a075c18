#pragma once
// What a laminator or file string is when shown, decided in one place for the page, the
// chart and the report's JSON: the bytes as they are when they are valid UTF-8 and every
// character is one XML allows; otherwise each byte is one character (U+0000 to U+00FF).
// Control characters other than tab, line feed and carriage return become U+FFFD either way.
#include <string>
#include <string_view>

std::string ShownText(std::string_view bytes);
