#pragma once
// Whether a datagram from a socket bound to another loopback address arrives from that
// address. Wine binds such a socket to the loopback interface as a whole, so whatever it
// sends comes from 127.0.0.1; tests with laminators or strangers at several loopback
// addresses skip there, saying so.
#include <chrono>

#include "platform/sockets.h"

namespace testsupport {

inline constexpr const char* kLoopbackSendersMerged =
    "datagrams sent from 127.0.0.9 arrive from 127.0.0.1 on this system (Wine binds a UDP "
    "socket to the loopback interface, not to the address): the test needs senders at "
    "several loopback addresses";

inline bool LoopbackSendersKeepTheirAddress() {
    static const bool kept = [] {
        platform::StartSockets();
        platform::Socket receiver(platform::OpenSocket(platform::SocketKind::Datagram));
        platform::Socket sender(platform::OpenSocket(platform::SocketKind::Datagram));
        if (!platform::Bind(receiver.Get(), {platform::kLoopback, 0}) ||
            !platform::Bind(sender.Get(), {0x7F000009, 0}) ||
            !platform::SetReceiveTimeout(receiver.Get(), std::chrono::seconds(2)))
            return false;
        const char probe = 'p';
        if (platform::SendTo(sender.Get(), &probe, 1, platform::LocalEndpoint(receiver.Get())) != 1)
            return false;
        char got = 0;
        platform::Endpoint from;
        return platform::ReceiveFrom(receiver.Get(), &got, 1, &from) == 1 &&
               from.address == 0x7F000009;
    }();
    return kept;
}

}  // namespace testsupport
