#pragma once
// Whether this system tells what a TCP peer acknowledged. Where it cannot (Wine has no
// SIO_TCP_INFO), a firmware download over TCP ends "sent, not confirmed", never complete:
// tests of a whole TCP download expect that there, and only there.
#include "platform/sockets.h"
#include "platform/tcp_delivery_count.h"

namespace testsupport {

inline bool TcpDeliveryCountKnown() {
    static const bool known = [] {
        platform::StartSockets();
        platform::Socket listening(platform::OpenSocket(platform::SocketKind::Stream));
        platform::Socket client(platform::OpenSocket(platform::SocketKind::Stream));
        if (!platform::Bind(listening.Get(), {platform::kLoopback, 0}) ||
            !platform::Listen(listening.Get(), 1) ||
            platform::StartConnect(client.Get(), platform::LocalEndpoint(listening.Get())) !=
                platform::ConnectStart::Connected)
            return false;
        const platform::Socket accepted(platform::Accept(listening.Get()));
        return platform::ReadTcpDeliveryCount(client.Get()).known;
    }();
    return known;
}

}  // namespace testsupport
