#pragma once
// The system's HID interfaces: hidapi on Linux; on Windows SetupAPI on the HID class
// (HidD_GetHidGuid) with HidD_GetAttributes for the ids and overlapped reads and writes.
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "platform/usb/usb_port.h"

struct HidInterface {
    unsigned vendorId = 0;
    unsigned productId = 0;
    std::string node;  // the system's device path, what OpenHidInterface opens
};

// The present interfaces, sorted by node; nullopt when the list cannot be obtained at all.
std::optional<std::vector<HidInterface>> ListHidInterfaces();
// Null when the open fails; `why` holds the system's reason.
std::unique_ptr<UsbPort> OpenHidInterface(const std::string& node, std::error_code& why);
