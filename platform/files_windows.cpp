#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "platform/files.h"

namespace platform {

namespace {
// Windows paths in the program's strings are UTF-8.
std::wstring Wide(const std::string& path) {
    return std::filesystem::path(path).wstring();
}

void SetErrnoFrom(DWORD error) {
    switch (error) {
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            errno = EEXIST;
            break;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            errno = ENOENT;
            break;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
            errno = EACCES;
            break;
        default:
            errno = EIO;
    }
}
}  // namespace

std::string LastFileErrorText() {
    return std::strerror(errno);
}

bool LastFileErrorWasExists() {
    return errno == EEXIST;
}

int CreateNewFile(const std::string& path) {
    return _wopen(Wide(path).c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                  _S_IREAD | _S_IWRITE);
}

int OpenTruncated(const std::string& path) {
    return _wopen(Wide(path).c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY | _O_NOINHERIT,
                  _S_IREAD | _S_IWRITE);
}

int OpenForReading(const std::string& path) {
    return _wopen(Wide(path).c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
}

bool CloseFile(int fd) {
    return fd >= 0 && _close(fd) == 0;
}

bool WriteFileAll(int fd, const void* data, std::size_t size) {
    const char* at = static_cast<const char*>(data);
    while (size > 0) {
        const unsigned chunk = static_cast<unsigned>(std::min<std::size_t>(size, 1u << 30));
        const int n = _write(fd, at, chunk);
        if (n <= 0)
            return false;
        at += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

long WriteFileSome(int fd, const void* data, std::size_t size) {
    return _write(fd, data, static_cast<unsigned>(std::min<std::size_t>(size, 1u << 30)));
}

long ReadFile(int fd, void* data, std::size_t capacity) {
    const unsigned chunk = static_cast<unsigned>(std::min<std::size_t>(capacity, 1u << 30));
    return _read(fd, data, chunk);
}

bool LastFileErrorWasRetry() {
    return errno == EINTR || errno == EAGAIN;
}

int WaitDevice(int, unsigned, std::chrono::milliseconds) {
    return -1;
}

bool SyncFile(int fd) {
    return _commit(fd) == 0;
}

std::optional<OpenFileInfo> InfoOf(int fd) {
    struct _stat64 st {};
    if (_fstat64(fd, &st) != 0)
        return std::nullopt;
    OpenFileInfo info;
    info.type = (st.st_mode & _S_IFMT) == _S_IFREG   ? FileType::Regular
                : (st.st_mode & _S_IFMT) == _S_IFDIR ? FileType::Folder
                                                     : FileType::Other;
    info.size = static_cast<std::uint64_t>(st.st_size);
    return info;
}

bool RenameOver(const std::string& from, const std::string& to) {
    // rename() on Windows refuses an existing target.
    if (MoveFileExW(Wide(from).c_str(), Wide(to).c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    SetErrnoFrom(GetLastError());
    return false;
}

bool RemoveFile(const std::string& path) {
    if (DeleteFileW(Wide(path).c_str()))
        return true;
    SetErrnoFrom(GetLastError());
    return false;
}

bool FolderTakesNewFiles(const std::string& folder) {
    // Windows access rights are not told by mode bits: only a try shows them. The name is
    // drawn from the process id and a counter and created exclusively, never taking a user's.
    static std::atomic<unsigned> counter{0};
    const std::string probe = (std::filesystem::path(folder) /
                               (".pellacor-probe-" + std::to_string(GetCurrentProcessId()) + "-" +
                                std::to_string(counter++)))
                                  .string();
    const int fd = CreateNewFile(probe);
    if (fd < 0)
        return false;
    _close(fd);
    DeleteFileW(Wide(probe).c_str());
    return true;
}

std::optional<std::int64_t> ModifiedMs(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &data))
        return std::nullopt;
    // FILETIME counts 100 ns from 1601; 11644473600 s lie between 1601 and 1970.
    const std::uint64_t ticks =
        (static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
        data.ftLastWriteTime.dwLowDateTime;
    return static_cast<std::int64_t>(ticks / 10000) - 11644473600000LL;
}

std::optional<FileIdentity> IdentityOf(const std::string& path) {
    const HANDLE file =
        CreateFileW(Wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::nullopt;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool ok = GetFileInformationByHandle(file, &info) != 0;
    CloseHandle(file);
    if (!ok)
        return std::nullopt;
    return FileIdentity{
        info.dwVolumeSerialNumber,
        (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

}  // namespace platform
