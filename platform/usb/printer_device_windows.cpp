// USB printing-class devices on Windows: the present interfaces of the USB printer device
// interface class, opened for overlapped reads and writes.
#include <windows.h>

#include <cstdlib>

#include "link/usb_link.h"
#include "platform/usb/printer_device.h"
#include "platform/usb/windows_device_io.h"

namespace {

// The USB printer device interface.
const GUID kPrinterClassGuid = {
    0x28D78FAD, 0x5A12, 0x11D1, {0xAE, 0x5B, 0x00, 0x00, 0xF8, 0x03, 0xA8, 0xC2}};

unsigned HexId(const std::string& text) {
    char* end = nullptr;
    const unsigned long value = std::strtoul(text.c_str(), &end, 16);
    return end == text.c_str() + text.size() ? static_cast<unsigned>(value) : 0;
}

}  // namespace

std::optional<std::vector<PrinterInterface>> ListPrinterInterfaces(const PrinterPlaces&) {
    std::error_code why;
    const std::optional<std::vector<std::string>> paths =
        PresentInterfacePaths(kPrinterClassGuid, why);
    if (!paths)
        return std::nullopt;
    std::vector<PrinterInterface> found;
    for (const std::string& path : *paths) {
        PrinterInterface printer;
        std::string vid;
        std::string pid;
        // A path without ids is listed too: the printing class takes no vendor filter.
        if (ParseVidPid(path, vid, pid)) {
            printer.vendorId = HexId(vid);
            printer.productId = HexId(pid);
        }
        printer.node = path;
        found.push_back(std::move(printer));
    }
    return found;
}

std::unique_ptr<UsbPort> OpenPrinterInterface(const std::string& node, std::error_code& why) {
    HANDLE file = OpenDeviceFile(node, GENERIC_READ | GENERIC_WRITE, why);
    if (file == INVALID_HANDLE_VALUE)
        return nullptr;
    return std::make_unique<OverlappedPort>(file, 0, 0);
}
