#include "cli/file_write.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

bool WriteFileWhole(const std::string& path, std::string_view text, const std::string& what,
                    std::string& error) {
    const std::string failed = what + " \"" + path + "\" cannot be written";
    // A FIFO or a device would block, or be replaced by the rename.
    std::error_code kind;
    if (std::filesystem::exists(path, kind) && !std::filesystem::is_regular_file(path, kind)) {
        error = failed + ": it is not a regular file.";
        return false;
    }
    const std::string temporary = path + ".part";
    {
        errno = 0;
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        out.flush();
        if (!out) {
            error = failed + (errno != 0 ? ": " + std::string(std::strerror(errno)) : "") + ".";
            std::error_code ignored;
            std::filesystem::remove(temporary, ignored);
            return false;
        }
    }
    std::error_code ec;
    std::filesystem::rename(temporary, path, ec);
    if (ec) {
        error = failed + ": " + ec.message() + ".";
        std::filesystem::remove(temporary, ec);
        return false;
    }
    return true;
}
