#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/files.h"
#include "platform/sockets.h"

namespace platform {

std::string LastFileErrorText() {
    return std::strerror(errno);
}

bool LastFileErrorWasExists() {
    return errno == EEXIST;
}

int CreateNewFile(const std::string& path) {
    return open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
}

int OpenTruncated(const std::string& path) {
    return open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
}

int OpenForReading(const std::string& path) {
    return open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
}

bool CloseFile(int fd) {
    return fd >= 0 && close(fd) == 0;
}

bool WriteFileAll(int fd, const void* data, std::size_t size) {
    const char* at = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = write(fd, at, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        at += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

long WriteFileSome(int fd, const void* data, std::size_t size) {
    return write(fd, data, size);
}

long ReadFile(int fd, void* data, std::size_t capacity) {
    for (;;) {
        const ssize_t n = read(fd, data, capacity);
        if (n >= 0 || errno != EINTR)
            return n;
    }
}

bool LastFileErrorWasRetry() {
    return errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK;
}

int WaitDevice(int fd, unsigned wanted, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    short events = 0;
    if (wanted & kReadable)
        events |= POLLIN;
    if (wanted & kWritable)
        events |= POLLOUT;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd entry{fd, events, 0};
        const int ready = poll(&entry, 1, left.count() > 0 ? static_cast<int>(left.count()) : 0);
        if (ready >= 0)
            return ready > 0 ? 1 : 0;
        if (errno != EINTR)
            return -1;
    }
}

bool SyncFile(int fd) {
    return fsync(fd) == 0;
}

std::optional<OpenFileInfo> InfoOf(int fd) {
    struct stat st {};
    if (fstat(fd, &st) != 0)
        return std::nullopt;
    OpenFileInfo info;
    info.type = S_ISREG(st.st_mode)   ? FileType::Regular
                : S_ISDIR(st.st_mode) ? FileType::Folder
                                      : FileType::Other;
    info.size = static_cast<std::uint64_t>(st.st_size);
    return info;
}

bool RenameOver(const std::string& from, const std::string& to) {
    return rename(from.c_str(), to.c_str()) == 0;
}

bool RemoveFile(const std::string& path) {
    return unlink(path.c_str()) == 0;
}

bool FolderTakesNewFiles(const std::string& folder) {
    return access(folder.c_str(), W_OK | X_OK) == 0;
}

std::optional<std::int64_t> ModifiedMs(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0)
        return std::nullopt;
    return static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000;
}

std::optional<FileIdentity> IdentityOf(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0)
        return std::nullopt;
    return FileIdentity{static_cast<std::uint64_t>(st.st_dev),
                        static_cast<std::uint64_t>(st.st_ino)};
}

}  // namespace platform
