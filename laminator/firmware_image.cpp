#include "laminator/firmware_image.h"

#include <cerrno>
#include <cstring>

#include "laminator/srecord_check.h"
#include "platform/files.h"

namespace {
FirmwareLoad Refused(std::vector<std::string> messages) {
    return {nullptr, std::move(messages)};
}

// Closes the descriptor however the load ends.
struct FdGuard {
    int fd;
    ~FdGuard() {
        if (fd >= 0)
            platform::CloseFile(fd);
    }
};
}  // namespace

FirmwareLoad LoadFirmwareFile(const std::string& path) {
    // Non-blocking, so a named pipe chosen by mistake cannot hang the window.
    FdGuard file{platform::OpenForReading(path)};
    if (file.fd < 0)
        return Refused({platform::LastFileErrorText(), kFirmwareInfoFailed});
    const std::optional<platform::OpenFileInfo> info = platform::InfoOf(file.fd);
    if (!info)
        return Refused({platform::LastFileErrorText(), kFirmwareInfoFailed});
    if (info->type != platform::FileType::Regular)
        return Refused({std::strerror(info->type == platform::FileType::Folder ? EISDIR : EINVAL),
                        kFirmwareInfoFailed});
    // An empty file would go out as one frame with no data, which no loader can take.
    if (info->size == 0)
        return Refused({kFirmwareEmpty});
    if (info->size > kMaxFirmwareBytes)
        return Refused({kFirmwareTooLarge});
    auto bytes = std::make_shared<std::vector<std::uint8_t>>(static_cast<std::size_t>(info->size));
    std::size_t got = 0;
    while (got < bytes->size()) {
        const long n = platform::ReadFile(file.fd, bytes->data() + got, bytes->size() - got);
        if (n <= 0)
            return Refused({kFirmwareNotReadWhole});
        got += static_cast<std::size_t>(n);
    }
    // A file that grew while it was read is not the file whose size was taken.
    std::uint8_t extra = 0;
    if (platform::ReadFile(file.fd, &extra, 1) != 0)
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
