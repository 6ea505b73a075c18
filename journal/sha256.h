#pragma once
// SHA-256 of a file or bytes, in lower-case hexadecimal: what the service record keeps of
// the files that went to or came from a laminator.
#include <optional>
#include <string>
#include <string_view>

std::string Sha256Hex(std::string_view bytes);
// nullopt when the file cannot be read.
std::optional<std::string> FileSha256Hex(const std::string& path);
