#pragma once
// Files by descriptor, where the library's streams cannot give the guarantees: a new name
// created exclusively, data on the disk before a rename, a replace that never leaves the
// target half written, a write safe inside a crash handler, and a file's identity.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

inline constexpr int kNoFile = -1;
inline constexpr int kStandardError = 2;

// What the last failed call on this thread met, in the system's words.
std::string LastFileErrorText();
// The last failure was "exists already".
bool LastFileErrorWasExists();

// Creates `path` for writing, failing when any file or link by that name exists.
int CreateNewFile(const std::string& path);
// Opens `path` for writing, made empty.
int OpenTruncated(const std::string& path);
// Opens `path` for reading without waiting for a writer (a named pipe chosen by mistake).
int OpenForReading(const std::string& path);
bool CloseFile(int fd);

// Writes all of `data`; only async-signal-safe calls.
bool WriteFileAll(int fd, const void* data, std::size_t size);
// One write: bytes written, -1 on failure.
long WriteFileSome(int fd, const void* data, std::size_t size);
// Bytes read, 0 at the end, -1 on failure.
long ReadFile(int fd, void* data, std::size_t capacity);
// The last failed read or write may succeed when tried again (interrupted, or nothing ready
// on a non-blocking descriptor).
bool LastFileErrorWasRetry();
// Waits until the device descriptor `fd` is ready for `wanted` (kReadable/kWritable of
// platform/sockets.h): 1 ready, 0 time-out, -1 failure. POSIX only: on Windows devices are
// waited on by overlapped I/O, and this fails.
int WaitDevice(int fd, unsigned wanted, std::chrono::milliseconds timeout);
// Puts what was written on the disk.
bool SyncFile(int fd);

enum class FileType { Missing, Regular, Folder, Other };
struct OpenFileInfo {
    FileType type = FileType::Missing;
    std::uint64_t size = 0;
};
std::optional<OpenFileInfo> InfoOf(int fd);

// Renames `from` over `to`, replacing what `to` was in one step.
bool RenameOver(const std::string& from, const std::string& to);
bool RemoveFile(const std::string& path);
// Whether this process may create files in `folder`.
bool FolderTakesNewFiles(const std::string& folder);

// When `path` was last written, in milliseconds since 1970 UTC.
std::optional<std::int64_t> ModifiedMs(const std::string& path);

// Device and inode; on Windows volume serial and file index.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t index = 0;
    bool operator==(const FileIdentity&) const = default;
};
std::optional<FileIdentity> IdentityOf(const std::string& path);

}  // namespace platform
