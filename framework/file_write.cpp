#include "framework/file_write.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace {
std::string Folder(const std::string& path) {
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    return parent.empty() ? "." : parent.string();
}

bool WriteAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t n = write(fd, text.data(), text.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        text.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}
}  // namespace

bool SameFile(const std::string& a, const std::string& b) {
    struct stat sa {};
    struct stat sb {};
    return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

std::string CheckWritable(const std::string& path, const std::string& what) {
    const std::string failed = what + " \"" + path + "\" cannot be written";
    struct stat st {};
    if (stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
        return failed + ": it is not a regular file.";
    const std::string folder = Folder(path);
    struct stat dir {};
    if (stat(folder.c_str(), &dir) != 0)
        return failed + ": the folder \"" + folder + "\" " + std::strerror(errno) + ".";
    if (!S_ISDIR(dir.st_mode))
        return failed + ": \"" + folder + "\" is not a folder.";
    if (access(folder.c_str(), W_OK | X_OK) != 0)
        return failed + ": the folder \"" + folder + "\" takes no new file (" +
               std::strerror(errno) + ").";
    return {};
}

bool WriteFileWhole(const std::string& path, std::string_view text, const std::string& what,
                    std::string& error) {
    const std::string failed = what + " \"" + path + "\" cannot be written";
    // A FIFO or a device would block, or be replaced by the rename.
    struct stat st {};
    if (stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        error = failed + ": it is not a regular file.";
        return false;
    }
    // O_EXCL: a name that exists (a user's file, a link) is passed over, never written.
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = path + ".part" + std::to_string(getpid()) + "-" + std::to_string(attempt);
        fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0) {
        error = failed + ": " + std::strerror(errno) + ".";
        return false;
    }
    const bool written = WriteAll(fd, text) && fsync(fd) == 0;
    const int writeErrno = errno;
    if (close(fd) != 0 || !written) {
        const int cause = written ? errno : writeErrno;
        error = failed + (cause != 0 ? ": " + std::string(std::strerror(cause)) : "") + ".";
        unlink(temporary.c_str());
        return false;
    }
    if (rename(temporary.c_str(), path.c_str()) != 0) {
        error = failed + ": " + std::strerror(errno) + ".";
        unlink(temporary.c_str());
        return false;
    }
    return true;
}
