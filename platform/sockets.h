#pragma once
// IPv4 sockets as both systems have them: one handle type, one set of errors, time-outs in
// milliseconds whatever unit the system takes, and no process signal when a peer has gone.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace platform {

// The system's handle. On Windows a SOCKET, narrowed: socket handles are kernel handles,
// whose values fit 32 bits (32- and 64-bit processes share them).
using SocketId = int;
inline constexpr SocketId kNoSocket = -1;

// A host-order IPv4 address and port.
struct Endpoint {
    std::uint32_t address = 0;
    std::uint16_t port = 0;
};
inline constexpr std::uint32_t kLoopback = 0x7F000001;
inline constexpr std::uint32_t kAnyAddress = 0;

enum class SocketError {
    None,
    // Nothing in time: a blocking call's time-out ran out, or a non-blocking call found
    // nothing waiting (POSIX cannot tell the two apart).
    TimedOut,
    Interrupted,
    // The peer reset or closed the connection; an unreachable port on Windows.
    PeerGone,
    Refused,
    // A datagram longer than the buffer (Windows says so only as an error).
    Oversized,
    InProgress,
    AddressInUse,
    Other,
};

// What the last failed call on this thread met, and the system's own words for it.
SocketError LastSocketError();
std::string LastSocketErrorText();

// Once per process before any socket; later calls do nothing. Opening a socket calls it.
bool StartSockets();

enum class SocketKind { Stream, Datagram };
// A fresh socket, not inherited by child processes; on Windows a datagram socket ignores
// the "port unreachable" that would otherwise fail its next receive.
SocketId OpenSocket(SocketKind kind);
void CloseSocket(SocketId id);

// Owns one socket, closed on destruction.
class Socket {
  public:
    Socket() = default;
    explicit Socket(SocketId id) : m_id(id) {}
    ~Socket() { Reset(); }
    Socket(Socket&& o) noexcept : m_id(o.Release()) {}
    Socket& operator=(Socket&& o) noexcept {
        if (this != &o)
            Reset(o.Release());
        return *this;
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    SocketId Get() const { return m_id; }
    bool Valid() const { return m_id != kNoSocket; }
    SocketId Release() {
        const SocketId id = m_id;
        m_id = kNoSocket;
        return id;
    }
    void Reset(SocketId id = kNoSocket) {
        if (m_id != kNoSocket)
            CloseSocket(m_id);
        m_id = id;
    }

  private:
    SocketId m_id = kNoSocket;
};

bool SetNonBlocking(SocketId id, bool nonBlocking);
bool SetSendTimeout(SocketId id, std::chrono::milliseconds limit);
bool SetReceiveTimeout(SocketId id, std::chrono::milliseconds limit);
bool SetNoDelay(SocketId id);
// Whether small writes go out at once (SetNoDelay took); false when the system cannot say.
bool NoDelayIsSet(SocketId id);
bool SetReuseAddress(SocketId id);
bool SetBroadcast(SocketId id);
// Asks for `bytes` of receive buffer; beyond the system limit only where the process may.
bool SetReceiveBuffer(SocketId id, int bytes);
bool SetSendBuffer(SocketId id, int bytes);
// On close the connection is reset: bytes still queued on this side are dropped.
bool ResetOnClose(SocketId id);

bool Bind(SocketId id, Endpoint local);
bool Listen(SocketId id, int backlog);
// An accepted connection, or kNoSocket.
SocketId Accept(SocketId listening);
// The address and port the socket is bound to; port 0 when unknown.
Endpoint LocalEndpoint(SocketId id);

enum class ConnectStart { Connected, InProgress, Failed };
ConnectStart StartConnect(SocketId id, Endpoint to);
// After a connect in progress became writable: whether it succeeded.
bool ConnectSucceeded(SocketId id);

// kHangUp: the peer closed its side or the connection broke, even with data still unread.
// On Windows a wait for kHangUp alone on a socket with data unread ends at once with 0.
enum Readiness : unsigned { kReadable = 1, kWritable = 2, kHangUp = 4 };
struct WaitEntry {
    SocketId id = kNoSocket;
    unsigned wanted = kReadable;  // Readiness bits
    bool ready = false;           // set by WaitSockets
};
// Waits until one of `count` sockets is ready for what it wants (an error or hang-up counts
// as ready: the next call tells which): the number ready, 0 on time-out, -1 on failure. A
// negative time-out waits for ever; an interruption is waited out.
int WaitSockets(WaitEntry* entries, std::size_t count, std::chrono::milliseconds timeout);
// WaitSockets for one socket: 1 ready, 0 time-out, -1 failure.
int WaitSocket(SocketId id, unsigned wanted, std::chrono::milliseconds timeout);

// Ends both directions of a connection, the handle still open: the peer sees the end, and
// later sends on it fail.
bool ShutdownConnection(SocketId id);

// Bytes waiting to be received, -1 when the system cannot say.
long PendingBytes(SocketId id);

enum class Blocking { Wait, NoWait };
// Bytes sent, or -1 (LastSocketError tells why). A peer that has gone is an error, never a
// signal to the process.
long Send(SocketId id, const void* data, std::size_t size, Blocking how = Blocking::Wait);
// Bytes received, 0 when the peer closed, -1 on failure or time-out.
long Receive(SocketId id, void* data, std::size_t capacity, Blocking how = Blocking::Wait);
long SendTo(SocketId id, const void* data, std::size_t size, Endpoint to);
// One datagram, at most `room` bytes of it copied. Its size, or more than `room` when it did
// not fit (Windows tells only that it was longer); -1 on failure. The sender goes to `from`.
long ReceiveFrom(SocketId id, void* buffer, std::size_t room, Endpoint* from,
                 Blocking how = Blocking::Wait);

// Reads a dotted quad ("192.168.1.10", nothing else) into `address`, host order.
bool ParseIpv4Text(const std::string& text, std::uint32_t& address);

// The first IPv4 address of the host `name` (host order), or nullopt with the resolver's
// words in `error`.
std::optional<std::uint32_t> ResolveIpv4(const std::string& name, std::string& error);

}  // namespace platform
