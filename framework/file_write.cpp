#include "framework/file_write.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "platform/files.h"
#include "platform/process.h"

namespace {
std::string Folder(const std::string& path) {
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    return parent.empty() ? "." : parent.string();
}

// Missing, a regular file, or something else (a folder, a FIFO, a device).
enum class Found { Missing, Regular, Folder, Other };
Found Look(const std::string& path, std::error_code& ec) {
    const std::filesystem::file_status st = std::filesystem::status(path, ec);
    if (ec || !std::filesystem::exists(st))
        return Found::Missing;
    if (std::filesystem::is_regular_file(st))
        return Found::Regular;
    return std::filesystem::is_directory(st) ? Found::Folder : Found::Other;
}
}  // namespace

bool SameFile(const std::string& a, const std::string& b) {
    const std::optional<platform::FileIdentity> ia = platform::IdentityOf(a);
    return ia && ia == platform::IdentityOf(b);
}

std::string CheckWritable(const std::string& path, const std::string& what) {
    const std::string failed = what + " \"" + path + "\" cannot be written";
    std::error_code ec;
    const Found file = Look(path, ec);
    if (file != Found::Missing && file != Found::Regular)
        return failed + ": it is not a regular file.";
    const std::string folder = Folder(path);
    const Found dir = Look(folder, ec);
    if (dir == Found::Missing)
        return failed + ": the folder \"" + folder + "\" " +
               (ec ? ec.message() : std::strerror(ENOENT)) + ".";
    if (dir != Found::Folder)
        return failed + ": \"" + folder + "\" is not a folder.";
    if (!platform::FolderTakesNewFiles(folder))
        return failed + ": the folder \"" + folder + "\" takes no new file (" +
               platform::LastFileErrorText() + ").";
    return {};
}

bool WriteFileWhole(const std::string& path, std::string_view text, const std::string& what,
                    std::string& error) {
    const std::string failed = what + " \"" + path + "\" cannot be written";
    // A FIFO or a device would block, or be replaced by the rename.
    std::error_code ec;
    const Found file = Look(path, ec);
    if (file != Found::Missing && file != Found::Regular) {
        error = failed + ": it is not a regular file.";
        return false;
    }
    // O_EXCL: a name that exists (a user's file, a link) is passed over, never written.
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary =
            path + ".part" + std::to_string(platform::ProcessId()) + "-" + std::to_string(attempt);
        fd = platform::CreateNewFile(temporary);
        if (fd < 0 && !platform::LastFileErrorWasExists())
            break;
    }
    if (fd < 0) {
        error = failed + ": " + platform::LastFileErrorText() + ".";
        return false;
    }
    errno = 0;
    const bool written =
        platform::WriteFileAll(fd, text.data(), text.size()) && platform::SyncFile(fd);
    const std::string writeError = errno != 0 ? platform::LastFileErrorText() : std::string();
    errno = 0;
    const bool closed = platform::CloseFile(fd);
    if (!closed || !written) {
        const std::string cause =
            !written ? writeError : (errno != 0 ? platform::LastFileErrorText() : std::string());
        error = failed + (!cause.empty() ? ": " + cause : "") + ".";
        platform::RemoveFile(temporary);
        return false;
    }
    if (!platform::RenameOver(temporary, path)) {
        error = failed + ": " + platform::LastFileErrorText() + ".";
        platform::RemoveFile(temporary);
        return false;
    }
    return true;
}
