#pragma once
// Names a USB device the way a technician finds it again: its bus port as the kernel names
// it (1-2, 3-1.4) and its device node, read from sysfs.
#include <string>
#include <string_view>

// "1-2 (/dev/hidraw3)" for the listed name of an open interface ("<kind>#...#<node>"); just
// "(/dev/hidraw3)" when sysfs does not say which port it is on. `sysRoot` is /sys but for
// tests.
std::string UsbInterfaceLabel(std::string_view listedName, const std::string& sysRoot = "/sys");
