#include "platform/tcp_delivery_count.h"

// SIO_TCP_INFO is declared only for Windows 10 1703 and later; older systems refuse it at
// run time, which leaves the count unknown.
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0A00
#undef NTDDI_VERSION
#define NTDDI_VERSION 0x0A000003
// winsock2.h before windows.h, which would otherwise bring in the old winsock.
// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>
#include <mstcpip.h>
#include <windows.h>
// clang-format on

namespace platform {

TcpDeliveryCount ReadTcpDeliveryCount(SocketId id) {
    TcpDeliveryCount c;
    if (id <= 0)
        return c;
    const SOCKET s = static_cast<SOCKET>(static_cast<std::uintptr_t>(static_cast<unsigned>(id)));
    DWORD version = 0;
    TCP_INFO_v0 info{};
    DWORD returned = 0;
    // Older systems and Wine refuse the request: the count stays unknown.
    if (WSAIoctl(s, SIO_TCP_INFO, &version, sizeof version, &info, sizeof info, &returned, nullptr,
                 nullptr) != 0 ||
        returned < sizeof info) {
        int error = 0;
        int size = sizeof error;
        c.open = getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) == 0 &&
                 error == 0;
        return c;
    }
    c.known = true;
    // BytesOut counts what left; BytesInFlight what of it is not acknowledged yet.
    c.acked = info.BytesOut >= info.BytesInFlight ? info.BytesOut - info.BytesInFlight : 0;
    c.open = info.State == TCPSTATE_ESTABLISHED;
    return c;
}

}  // namespace platform
