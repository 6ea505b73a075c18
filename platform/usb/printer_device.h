#pragma once
// The system's USB printing-class interfaces: on Linux the usblp driver's lp* entries in
// sysfs and /dev/usb/lpN; on Windows the present interfaces of the printing-class GUID
// through SetupAPI, opened for overlapped I/O.
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "platform/usb/usb_port.h"

struct PrinterInterface {
    unsigned vendorId = 0;
    unsigned productId = 0;
    std::string node;  // what OpenPrinterInterface opens
};

// Where Linux looks (tests point both at a tree of their own); Windows asks SetupAPI.
struct PrinterPlaces {
    std::string classDir = "/sys/class/usbmisc";
    std::string devDir = "/dev/usb";
};

// The present interfaces in a stable order; empty when the system has no printing-class
// driver; nullopt when the list cannot be obtained at all.
std::optional<std::vector<PrinterInterface>> ListPrinterInterfaces(const PrinterPlaces& places);
// Null when the open fails; `why` holds the system's reason.
std::unique_ptr<UsbPort> OpenPrinterInterface(const std::string& node, std::error_code& why);
