#include "platform/wakeup.h"

#include <cstdint>

namespace platform {

Wakeup::Wakeup()
    : m_receiver(OpenSocket(SocketKind::Datagram)), m_sender(OpenSocket(SocketKind::Datagram)) {
    if (!Valid() || !Bind(m_receiver.Get(), Endpoint{kLoopback, 0}) ||
        !SetNonBlocking(m_receiver.Get(), true)) {
        m_receiver.Reset();
        return;
    }
    m_address = LocalEndpoint(m_receiver.Get());
    if (m_address.port == 0)
        m_receiver.Reset();
}

void Wakeup::Raise() {
    if (!Valid())
        return;
    const std::uint8_t one = 1;
    SendTo(m_sender.Get(), &one, sizeof one, m_address);
}

void Wakeup::Clear() {
    if (!Valid())
        return;
    std::uint8_t scratch[16];
    // Bounded, though only Raise writes here: each datagram is one Raise.
    for (int i = 0; i < 4096; ++i) {
        if (ReceiveFrom(m_receiver.Get(), scratch, sizeof scratch, nullptr, Blocking::NoWait) < 0)
            return;
    }
}

}  // namespace platform
