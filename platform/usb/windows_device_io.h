#pragma once
// What the Windows USB modules share: the present interfaces of a device-interface class
// through SetupAPI, and a device file opened for overlapped I/O whose every read and write
// waits at most its time-out.
#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "platform/usb/usb_port.h"

// The system's code, as the portable condition where one fits (access denied is a
// permission error, a missing file is "no such file"), so messages and remedies match Linux.
std::error_code WindowsError(DWORD code);

// The device paths of the present interfaces of `interfaceClass`, in SetupAPI's order;
// nullopt when the set cannot be had (`why` says why).
std::optional<std::vector<std::string>> PresentInterfacePaths(const GUID& interfaceClass,
                                                              std::error_code& why);

// Opens `path` for reading and writing, shared, existing only, overlapped.
HANDLE OpenDeviceFile(const std::string& path, DWORD access, std::error_code& why);

class OverlappedPort : public UsbPort {
  public:
    // `reportIn`/`reportOut` are a HID interface's report lengths (report id included), 0
    // for a device that takes any length.
    OverlappedPort(HANDLE file, std::size_t reportIn, std::size_t reportOut);
    ~OverlappedPort() override;
    OverlappedPort(const OverlappedPort&) = delete;
    OverlappedPort& operator=(const OverlappedPort&) = delete;

    int Write(const std::uint8_t* data, std::size_t length,
              std::chrono::milliseconds timeout) override;
    int Read(std::uint8_t* data, std::size_t capacity, std::chrono::milliseconds timeout) override;

  private:
    // Bytes moved, 0 when the time-out passed (the request is then cancelled and waited
    // for, so the buffer is free again), -1 on failure.
    int Transfer(bool write, std::uint8_t* buffer, DWORD length, std::chrono::milliseconds timeout);

    HANDLE m_file;
    HANDLE m_event;
    std::size_t m_reportIn;
    std::size_t m_reportOut;
};
