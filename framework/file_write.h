#pragma once
// A file written whole or not at all: into a temporary file of its own beside FILE first
// (created new, never one that was there), then renamed over FILE, so an interrupted write
// never leaves half a backup or report where the old one was.
#include <string>
#include <string_view>

// False with `error` ("The backup file "x.json" cannot be written: No space left on device.")
// when it could not be; `what` names the file for the user ("The backup file").
bool WriteFileWhole(const std::string& path, std::string_view text, const std::string& what,
                    std::string& error);

// What can be known before the work that fills a file: its folder exists and takes a new
// file, and the name is not something other than a regular file. Empty when fine.
std::string CheckWritable(const std::string& path, const std::string& what);

// True when both name one existing file (device and inode), by any path or link.
bool SameFile(const std::string& a, const std::string& b);
