#include "laminator/firmware_image.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "laminator/srecord_check.h"

namespace {
FirmwareLoad Refused(std::vector<std::string> messages) {
    return {nullptr, std::move(messages)};
}

// Closes the descriptor however the load ends.
struct FdGuard {
    int fd;
    ~FdGuard() {
        if (fd >= 0)
            ::close(fd);
    }
};
}  // namespace

FirmwareLoad LoadFirmwareFile(const std::string& path) {
    // Non-blocking, so a named pipe chosen by mistake cannot hang the window.
    FdGuard file{::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)};
    if (file.fd < 0)
        return Refused({std::strerror(errno), kFirmwareInfoFailed});
    struct stat info {};
    if (::fstat(file.fd, &info) != 0)
        return Refused({std::strerror(errno), kFirmwareInfoFailed});
    if (!S_ISREG(info.st_mode))
        return Refused(
            {std::strerror(S_ISDIR(info.st_mode) ? EISDIR : EINVAL), kFirmwareInfoFailed});
    // An empty file would go out as one frame with no data, which no loader can take.
    if (info.st_size == 0)
        return Refused({kFirmwareEmpty});
    if (static_cast<std::uint64_t>(info.st_size) > kMaxFirmwareBytes)
        return Refused({kFirmwareTooLarge});
    auto bytes =
        std::make_shared<std::vector<std::uint8_t>>(static_cast<std::size_t>(info.st_size));
    std::size_t got = 0;
    while (got < bytes->size()) {
        const ssize_t n = ::read(file.fd, bytes->data() + got, bytes->size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return Refused({kFirmwareNotReadWhole});
        got += static_cast<std::size_t>(n);
    }
    // A file that grew while it was read is not the file whose size was taken.
    std::uint8_t extra = 0;
    if (::read(file.fd, &extra, 1) != 0)
        return Refused({kFirmwareNotReadWhole});
    return {std::move(bytes), {}};
}

std::optional<std::string> FirmwareFormatProblem(const std::string& path,
                                                 const std::vector<std::uint8_t>& bytes) {
    if (!IsSRecordPath(path))
        return std::nullopt;
    const std::optional<SRecordProblem> problem = CheckSRecords(bytes);
    if (!problem)
        return std::nullopt;
    return SRecordProblemText(path, *problem);
}
