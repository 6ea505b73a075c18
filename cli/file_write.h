#pragma once
// A file written whole or not at all: into FILE.part first, then renamed over FILE, so an
// interrupted write never leaves half a backup or report where the old one was.
#include <string>
#include <string_view>

// False with `error` ("The backup file "x.json" cannot be written: No space left on device.")
// when it could not be; `what` names the file for the user ("The backup file").
bool WriteFileWhole(const std::string& path, std::string_view text, const std::string& what,
                    std::string& error);
