#include "platform/usb/device_file.h"
#include "platform/usb/windows_device_io.h"

std::error_code DeviceFileOpenError(const std::string& node) {
    std::error_code why;
    HANDLE file = OpenDeviceFile(node, GENERIC_READ | GENERIC_WRITE, why);
    if (file == INVALID_HANDLE_VALUE)
        return why;
    CloseHandle(file);
    return std::make_error_code(std::errc::io_error);
}
