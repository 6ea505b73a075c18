#include "platform/usb/windows_device_io.h"

#include <setupapi.h>

#include <algorithm>
#include <cstring>

#include "platform/usb/hid_report.h"

std::error_code WindowsError(DWORD code) {
    switch (code) {
        case ERROR_ACCESS_DENIED:
            return std::make_error_code(std::errc::permission_denied);
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return std::make_error_code(std::errc::no_such_file_or_directory);
        case ERROR_SHARING_VIOLATION:
            return std::make_error_code(std::errc::device_or_resource_busy);
        case ERROR_DEVICE_NOT_CONNECTED:
        case ERROR_GEN_FAILURE:
            return std::make_error_code(std::errc::no_such_device);
        default:
            return std::error_code(static_cast<int>(code), std::system_category());
    }
}

std::optional<std::vector<std::string>> PresentInterfacePaths(const GUID& interfaceClass,
                                                              std::error_code& why) {
    why.clear();
    HDEVINFO set = SetupDiGetClassDevsA(&interfaceClass, nullptr, nullptr,
                                        DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE) {
        why = WindowsError(GetLastError());
        return std::nullopt;
    }
    std::vector<std::string> paths;
    // The detail record is asked for its size first: a path is never cut.
    for (DWORD index = 0; index < 4096; ++index) {
        SP_DEVICE_INTERFACE_DATA data{};
        data.cbSize = sizeof data;
        if (!SetupDiEnumDeviceInterfaces(set, nullptr, &interfaceClass, index, &data)) {
            if (GetLastError() != ERROR_NO_MORE_ITEMS)
                why = WindowsError(GetLastError());
            break;
        }
        DWORD size = 0;
        SetupDiGetDeviceInterfaceDetailA(set, &data, nullptr, 0, &size, nullptr);
        if (size < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) || size > 64 * 1024)
            continue;
        std::vector<std::uint8_t> block(size, 0);
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(block.data());
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
        if (!SetupDiGetDeviceInterfaceDetailA(set, &data, detail, size, nullptr, nullptr))
            continue;
        const char* path = detail->DevicePath;
        const std::size_t room = size - offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);
        paths.emplace_back(path, strnlen(path, room));
    }
    SetupDiDestroyDeviceInfoList(set);
    if (why && paths.empty())
        return std::nullopt;
    return paths;
}

HANDLE OpenDeviceFile(const std::string& path, DWORD access, std::error_code& why) {
    HANDLE file = CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    why = file == INVALID_HANDLE_VALUE ? WindowsError(GetLastError()) : std::error_code();
    return file;
}

OverlappedPort::OverlappedPort(HANDLE file, std::size_t reportIn, std::size_t reportOut)
    : m_file(file),
      m_event(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
      m_reportIn(reportIn),
      m_reportOut(reportOut) {}

OverlappedPort::~OverlappedPort() {
    CloseHandle(m_file);
    if (m_event != nullptr)
        CloseHandle(m_event);
}

int OverlappedPort::Transfer(bool write, std::uint8_t* buffer, DWORD length,
                             std::chrono::milliseconds timeout) {
    if (m_event == nullptr)
        return -1;
    OVERLAPPED overlapped{};
    overlapped.hEvent = m_event;
    ResetEvent(m_event);
    DWORD moved = 0;
    const BOOL done = write ? WriteFile(m_file, buffer, length, nullptr, &overlapped)
                            : ReadFile(m_file, buffer, length, nullptr, &overlapped);
    if (!done && GetLastError() != ERROR_IO_PENDING)
        return -1;
    const DWORD limit = static_cast<DWORD>(std::max<long long>(0, timeout.count()));
    if (WaitForSingleObject(m_event, limit) != WAIT_OBJECT_0) {
        CancelIoEx(m_file, &overlapped);
        // The request ends either way; what it moved before the cancel still counts.
        if (!GetOverlappedResult(m_file, &overlapped, &moved, TRUE))
            return GetLastError() == ERROR_OPERATION_ABORTED ? 0 : -1;
        return static_cast<int>(moved);
    }
    if (!GetOverlappedResult(m_file, &overlapped, &moved, FALSE))
        return -1;
    return static_cast<int>(moved);
}

int OverlappedPort::Write(const std::uint8_t* data, std::size_t length,
                          std::chrono::milliseconds timeout) {
    std::vector<std::uint8_t> report = HidOutputReport(data, length, m_reportOut);
    const int written = Transfer(true, report.data(), static_cast<DWORD>(report.size()), timeout);
    if (written <= 0)
        return -1;  // a write not done in time failed
    return static_cast<int>(std::min<std::size_t>(length, static_cast<std::size_t>(written)));
}

int OverlappedPort::Read(std::uint8_t* data, std::size_t capacity,
                         std::chrono::milliseconds timeout) {
    std::vector<std::uint8_t> report(m_reportIn > 0 ? m_reportIn : capacity);
    const int got = Transfer(false, report.data(), static_cast<DWORD>(report.size()), timeout);
    if (got <= 0)
        return got;
    return static_cast<int>(
        HidInputFrame(report.data(), static_cast<std::size_t>(got), m_reportIn, data, capacity));
}
