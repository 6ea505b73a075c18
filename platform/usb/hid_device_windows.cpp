// HID interfaces on Windows through SetupAPI and the HID library: hidapi's own Windows
// backend does not start under Wine (hid_init fails), these calls list and fail cleanly.
#include <windows.h>

// The HID header (which brings the usage and parser declarations) comes after windows.h,
// and this MinGW's declares C functions without saying so.
extern "C" {
#include <hidsdi.h>
}

#include <algorithm>
#include <cstdlib>

#include "link/usb_link.h"
#include "platform/usb/hid_device.h"
#include "platform/usb/windows_device_io.h"

namespace {

unsigned HexId(const std::string& text) {
    char* end = nullptr;
    const unsigned long value = std::strtoul(text.c_str(), &end, 16);
    return end == text.c_str() + text.size() ? static_cast<unsigned>(value) : 0;
}

// The ids from the device itself; from its path when it does not answer (an interface
// in use by another program may refuse even a query).
void ReadIds(const std::string& path, HidInterface& hid) {
    std::error_code why;
    HANDLE file = OpenDeviceFile(path, 0, why);
    if (file != INVALID_HANDLE_VALUE) {
        HIDD_ATTRIBUTES attributes{};
        attributes.Size = sizeof attributes;
        const bool answered = HidD_GetAttributes(file, &attributes);
        CloseHandle(file);
        if (answered) {
            hid.vendorId = attributes.VendorID;
            hid.productId = attributes.ProductID;
            return;
        }
    }
    std::string vid;
    std::string pid;
    if (ParseVidPid(path, vid, pid)) {
        hid.vendorId = HexId(vid);
        hid.productId = HexId(pid);
    }
}

}  // namespace

std::optional<std::vector<HidInterface>> ListHidInterfaces() {
    GUID hidClass{};
    HidD_GetHidGuid(&hidClass);
    std::error_code why;
    const std::optional<std::vector<std::string>> paths = PresentInterfacePaths(hidClass, why);
    if (!paths)
        return std::nullopt;
    std::vector<HidInterface> found;
    for (const std::string& path : *paths) {
        HidInterface hid;
        hid.node = path;
        ReadIds(path, hid);
        found.push_back(std::move(hid));
    }
    std::sort(found.begin(), found.end(),
              [](const HidInterface& a, const HidInterface& b) { return a.node < b.node; });
    return found;
}

std::unique_ptr<UsbPort> OpenHidInterface(const std::string& node, std::error_code& why) {
    HANDLE file = OpenDeviceFile(node, GENERIC_READ | GENERIC_WRITE, why);
    if (file == INVALID_HANDLE_VALUE)
        return nullptr;
    // The report lengths, so every write is one whole report and every read takes one.
    std::size_t reportIn = 0;
    std::size_t reportOut = 0;
    PHIDP_PREPARSED_DATA preparsed = nullptr;
    if (HidD_GetPreparsedData(file, &preparsed)) {
        HIDP_CAPS caps{};
        if (HidP_GetCaps(preparsed, &caps) == HIDP_STATUS_SUCCESS) {
            reportIn = caps.InputReportByteLength;
            reportOut = caps.OutputReportByteLength;
        }
        HidD_FreePreparsedData(preparsed);
    }
    return std::make_unique<OverlappedPort>(file, reportIn, reportOut);
}
