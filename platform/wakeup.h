#pragma once
// Wakes a thread waiting on sockets from another thread: a loopback datagram socket that the
// waiter watches with its own sockets. Both systems have it, unlike eventfd or a pipe that
// Windows cannot wait on together with sockets.
#include "platform/sockets.h"

namespace platform {

class Wakeup {
  public:
    Wakeup();
    // False when no loopback socket could be had; Raise then does nothing.
    bool Valid() const { return m_receiver.Valid() && m_sender.Valid(); }
    // The socket to wait on for kReadable.
    SocketId Id() const { return m_receiver.Get(); }
    // Makes Id() readable until Clear. Any thread.
    void Raise();
    // Takes back every Raise so far.
    void Clear();

  private:
    Socket m_receiver;
    Socket m_sender;
    Endpoint m_address;
};

}  // namespace platform
