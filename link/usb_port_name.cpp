#include "link/usb_port_name.h"

#include <filesystem>
#include <system_error>

#include "link/usb_backend.h"

namespace {
// A USB device directory: bus, a dash, then the port chain with dots (1-2, 3-1.4).
bool IsPortName(const std::string& name) {
    const std::size_t dash = name.find('-');
    if (dash == 0 || dash == std::string::npos || dash + 1 == name.size())
        return false;
    bool digit = false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const char c = name[i];
        if (c >= '0' && c <= '9') {
            digit = true;
        } else if ((i == dash || c == '.') && digit) {
            digit = false;  // a separator needs a digit on each side
        } else {
            return false;
        }
    }
    return digit;
}

// The deepest port directory on the device's sysfs path: the one the interface hangs off.
std::string PortOf(const std::filesystem::path& device) {
    std::error_code ec;
    const std::filesystem::path real = std::filesystem::canonical(device, ec);
    if (ec)
        return {};
    std::string port;
    for (const auto& part : real) {
        if (IsPortName(part.string()))
            port = part.string();
    }
    return port;
}
}  // namespace

std::string UsbInterfaceLabel(std::string_view listedName, const std::string& sysRoot) {
    const std::string node = NodeOfInterfaceName(listedName);
    const std::string base = std::filesystem::path(node).filename().string();
    std::string port;
    for (const char* cls : {"hidraw", "usbmisc"}) {
        if (port.empty() && !base.empty())
            port = PortOf(std::filesystem::path(sysRoot) / "class" / cls / base / "device");
    }
    return (port.empty() ? "" : port + " ") + "(" + node + ")";
}
