#pragma once
// Why Activate Port failed when the laminator is attached but none of its device files
// could be opened: the node, the system's reason and, for a permission error, the remedy.
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

// The udev rule the package installs; it gives the user at the seat the laminator's nodes.
inline constexpr std::string_view kUdevRuleFile = "60-pellacor.rules";

struct UsbOpenFailure {
    std::string node;  // the device file, e.g. /dev/hidraw3
    std::error_code why;
};

// The failure of a listed interface "<kind>#vid_VVVV&pid_PPPP#<node>".
UsbOpenFailure OpenFailureOf(const std::string& interfacePath, std::error_code why);
bool IsPermissionError(std::error_code why);
// One message for every failed node, with the remedy when any failed for want of permission.
std::string UsbOpenFailureMessage(const std::vector<UsbOpenFailure>& failures);
