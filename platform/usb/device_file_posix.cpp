#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/usb/device_file.h"

std::error_code DeviceFileOpenError(const std::string& node) {
    const int fd = open(node.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return std::error_code(errno, std::generic_category());
    close(fd);
    return std::make_error_code(std::errc::io_error);
}
