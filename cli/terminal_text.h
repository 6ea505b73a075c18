#pragma once
// Text that came from a laminator or a file, made safe for a terminal: a name holding ESC
// or BEL must not clear the screen or retitle the window. Every text output goes through it.
#include <string>
#include <string_view>

// Control characters (below 0x20, and 0x7F) as \xNN; every other byte as it is, so
// single-byte laminator text and UTF-8 file names read as before.
std::string EscapeControls(std::string_view text);
// As EscapeControls, but keeps the line breaks of a text of several lines.
std::string EscapeControlsKeepingLines(std::string_view text);
