#pragma once
// The reason a device file cannot be opened for reading and writing, for a library that
// does not keep it (hidapi); an I/O error when the file itself opens.
#include <string>
#include <system_error>

std::error_code DeviceFileOpenError(const std::string& node);
