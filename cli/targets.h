#pragma once
// Where a laminator is: over TCP, on USB (HID or printing class) or the simulator's virtual
// HID laminator. Exactly one link is open at a time, as in the window.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "link/ethernet_link.h"

struct Target {
    enum class Kind { Tcp, Usb, UsbPrinter, UsbSim, UsbSimPrinter };
    Kind kind = Kind::Usb;
    std::string host;     // Tcp, as given
    std::string address;  // Tcp, the dotted quad it resolved to
    std::uint16_t port = kLaminatorTcpPort;
    std::string path;  // UsbSim, UsbSimPrinter
    // Usb, UsbPrinter: the port and node of the device once it was opened ("1-2 (/dev/hidraw3)").
    mutable std::string device;

    // "tcp:HOST:PORT", "usb", "usb-printer", "usb-sim:PATH", "usb-sim-printer:PATH"; a USB
    // device once opened adds where it is: "usb 1-2 (/dev/hidraw3)".
    std::string Label() const;
    // The same for every run against this target, opened or not: for keeping its records.
    std::string Key() const;
    bool IsPrinterClass() const { return kind == Kind::UsbPrinter || kind == Kind::UsbSimPrinter; }
};

// "HOST[:PORT]": a dotted quad or a host name, resolved here so that nothing is sent to a
// host that does not resolve; nullopt with the reason in `error`.
std::optional<Target> ParseTcpTarget(const std::string& text, std::uint16_t defaultPort,
                                     std::string& error);

// Opens the target's link and raises its flag; false (with the window's message) when the
// laminator cannot be reached.
bool OpenTarget(const Target& target);
// Closes whatever link is open and clears the flags.
void CloseTarget();
