#pragma once
// Process-wide link flags shared by the window thread and the workers.
#include <atomic>

// The Ethernet link is the one in use; every operation looks at it first.
extern std::atomic<int> EthernetLinkActive;
// The USB HID link was opened.
extern std::atomic<int> UsbLinkActive;
