#pragma once
// What the USB link needs of a way to reach devices: list interfaces, open one by path.
// Paths read "<kind>#vid_VVVV&pid_PPPP#<node>", so the vendor id match works on every backend.
#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "link/frame_trace.h"

enum class UsbClass { Hid, Printer };

class UsbDevice {
  public:
    virtual ~UsbDevice() = default;
    // Bytes written, or -1 on failure or time-out.
    virtual int Write(const std::uint8_t* data, std::size_t length,
                      std::chrono::milliseconds timeout) = 0;
    // Bytes read (one report or one block), 0 when nothing came in time, -1 on failure.
    virtual int Read(std::uint8_t* data, std::size_t capacity,
                     std::chrono::milliseconds timeout) = 0;
    // Discards replies that arrived after an earlier request's time-out, tracing them as
    // received on `link`.
    virtual void DrainStale(TraceLink link) = 0;
};

class UsbBackend {
  public:
    virtual ~UsbBackend() = default;
    // The present interfaces of the class, in a stable order; nullopt when the list cannot
    // be obtained at all.
    virtual std::optional<std::vector<std::string>> Enumerate(UsbClass cls) = 0;
    // Null when this backend does not own the path or the open fails; then `why` holds the
    // system's reason (left clear when the path is not this backend's).
    virtual std::unique_ptr<UsbDevice> Open(const std::string& path, std::error_code& why) = 0;
    std::unique_ptr<UsbDevice> Open(const std::string& path) {
        std::error_code ignored;
        return Open(path, ignored);
    }
};

// The interface name a backend lists: "<kind>#vid_VVVV&pid_PPPP#<node>", ids in lower-case
// hexadecimal; `kind` is the backend's own word ("hid", "usblp", "sim", "simlp").
std::string InterfaceName(std::string_view kind, unsigned vendorId, unsigned productId,
                          std::string_view node);
// The node to open, when `path` is one of `kind`'s names; nullopt otherwise.
std::optional<std::string> InterfaceNode(std::string_view path, std::string_view kind);
// The node part of any listed name: everything after the second '#', since a node (a
// Windows interface path) may hold '#' of its own; a name without two is all node.
std::string NodeOfInterfaceName(std::string_view path);

// The listed names of (sort key, name) pairs, in the order of their keys, so a backend
// lists its interfaces in a stable order.
template <class Key>
std::vector<std::string> NamesInKeyOrder(std::vector<std::pair<Key, std::string>> found) {
    std::sort(found.begin(), found.end());
    std::vector<std::string> names;
    names.reserve(found.size());
    for (auto& entry : found)
        names.push_back(std::move(entry.second));
    return names;
}

// The backends the link asks, in order. By default: HID and the printing class.
void SetUsbBackends(std::vector<std::shared_ptr<UsbBackend>> backends);
void AddUsbBackend(std::shared_ptr<UsbBackend> backend);
std::vector<std::shared_ptr<UsbBackend>> GetUsbBackends();
// Restores the default set (tests call it in their tear-down).
void ResetUsbBackends();

// The default set's members. On Linux the printing-class backend reads `classDir` (lp*
// entries) and opens `devDir`/lpN; tests point both at a tree of their own. Windows asks
// SetupAPI and ignores both.
std::shared_ptr<UsbBackend> MakeHidUsbBackend();
std::shared_ptr<UsbBackend> MakePrinterClassUsbBackend(
    const std::string& classDir = "/sys/class/usbmisc", const std::string& devDir = "/dev/usb");

// The simulator's virtual laminator whose port file is `portFile`, listed as if plugged in.
std::shared_ptr<UsbBackend> MakeSimulatedUsbBackend(const std::string& portFile, UsbClass cls);
