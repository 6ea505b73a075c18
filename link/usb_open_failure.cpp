#include "link/usb_open_failure.h"

#include <algorithm>

#include "link/usb_backend.h"

UsbOpenFailure OpenFailureOf(const std::string& interfacePath, std::error_code why) {
    return {NodeOfInterfaceName(interfacePath), why};
}

bool IsPermissionError(std::error_code why) {
    return why == std::errc::permission_denied || why == std::errc::operation_not_permitted;
}

namespace {
std::string Reason(std::error_code why) {
    return why ? why.message() : std::string("the device could not be opened");
}
}  // namespace

std::string UsbOpenFailureMessage(const std::vector<UsbOpenFailure>& failures) {
    std::string text;
    if (failures.size() == 1) {
        text = "The laminator is attached, but " + failures[0].node +
               " cannot be opened: " + Reason(failures[0].why) + ".";
    } else {
        text = "The laminator is attached, but its device files cannot be opened:";
        for (const UsbOpenFailure& f : failures)
            text += "\n" + f.node + ": " + Reason(f.why);
    }
    const bool permission =
        std::any_of(failures.begin(), failures.end(),
                    [](const UsbOpenFailure& f) { return IsPermissionError(f.why); });
    if (permission) {
        text +=
            "\n\nThis user has no access to the laminator. Install the pellacor package: its "
            "udev rule ";
        text += kUdevRuleFile;
        text +=
            " gives the user at the seat access. If it is installed, unplug the laminator "
            "and plug it in again.";
    }
    return text;
}
