#include "link/ethernet_link.h"

#include <algorithm>
#include <chrono>
#include <mutex>
#include <optional>
#include <string>

#include "link/frame_trace.h"
#include "link/ipv4_text.h"
#include "link/link_buffers.h"
#include "link/reply_wait.h"
#include "platform/sockets.h"

std::atomic<int> EthernetSocket{0};

namespace {
// Bytes of an earlier reply still waiting on the socket (a reply longer than its reader
// needed, or one that came after a time-out) would otherwise answer this request.
void DiscardStaleReplies(int fd) {
    // Asking first keeps the usual case, nothing waiting, free of any receive.
    if (platform::PendingBytes(fd) <= 0) {
        return;
    }
    std::uint8_t junk[1024];
    for (;;) {
        const long got = platform::Receive(fd, junk, sizeof junk, platform::Blocking::NoWait);
        if (got <= 0) {
            return;
        }
        TraceDiscarded(TraceLink::Tcp, junk, static_cast<std::size_t>(got));
    }
}

constexpr std::chrono::milliseconds kConnectTimeout{5000};
// The laminator answers in 64-byte blocks. A block that arrives in pieces is completed when
// its rest follows within this grace, so that the rest never opens the next reply.
constexpr std::size_t kReplyBlock = 64;
constexpr std::chrono::milliseconds kRestGrace{50};
constexpr const char* kDisconnected = "The network interface is disconnected!";

std::atomic<std::uint16_t> g_port{kLaminatorTcpPort};
std::atomic<std::size_t> g_lastReceived{0};

// Replies carry no sequence number: after a receive that timed out or stopped short, the
// rest of that reply may still come and would be taken as the answer to the next request.
// The first send of the next transaction then opens a fresh connection to the same
// laminator, which leaves anything late behind on the old one. Sends later in the same
// transaction (the closing frame of a MODE bracket) still go where the bracket was opened.
std::atomic<bool> g_replyInDoubt{false};
// Moved on by every cancel: a connect gives up once it is no longer the one it started with.
std::atomic<std::uint64_t> g_connectGeneration{0};
// How often a connect under way looks whether it was cancelled.
constexpr std::chrono::milliseconds kCancelCheck{20};
std::atomic<std::uint64_t> g_doubtTransaction{0};
std::mutex g_addressLock;
std::string g_address;

bool FailAttempt(int fd) {
    platform::CloseSocket(fd);
    EthernetSocket = -1;
    return false;
}

// Waits for the connect in progress; a refusal shows up as the socket's pending error.
bool ConnectWithin(int fd, platform::Endpoint address, std::uint64_t generation) {
    const platform::ConnectStart start = platform::StartConnect(fd, address);
    if (start != platform::ConnectStart::InProgress) {
        return start == platform::ConnectStart::Connected;
    }
    const auto deadline = std::chrono::steady_clock::now() + kConnectTimeout;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || g_connectGeneration.load() != generation) {
            return false;
        }
        const int ready = platform::WaitSocket(fd, platform::kWritable | platform::kReadable,
                                               std::min(left, kCancelCheck));
        if (ready < 0) {
            return false;
        }
        if (ready > 0) {
            break;
        }
    }
    return platform::ConnectSucceeded(fd);
}

void SetTimeouts(int fd) {
    const std::chrono::milliseconds wait = NetReplyTimeout();
    platform::SetSendTimeout(fd, wait);
    platform::SetReceiveTimeout(fd, wait);
    // Frames are small request/reply pairs: waiting to coalesce them only adds latency.
    platform::SetNoDelay(fd);
}

// The receive that ran out of time, as opposed to a broken connection.
bool ReceiveTimedOut(long result) {
    return result < 0 && platform::LastSocketError() == platform::SocketError::TimedOut;
}

// Opens the connection anew after a reply in doubt. One attempt: when it fails, the link
// stays closed and what follows fails at once instead of waiting for a connect each time.
void Resynchronise() {
    std::string address;
    {
        const std::lock_guard<std::mutex> lock(g_addressLock);
        address = g_address;
    }
    // What did come late is traced before it goes with the old connection.
    DiscardStaleReplies(EthernetSocket);
    CloseEthernet();
    if (!address.empty()) {
        ConnectEthernet(address);  // a failed attempt leaves EthernetSocket at -1
    }
}

// One blocking receive bounded by the socket's receive time-out.
long ReceiveOnce(int fd, std::uint8_t* data, std::size_t capacity) {
    for (;;) {
        const long got = platform::Receive(fd, data, capacity);
        if (got >= 0 || platform::LastSocketError() != platform::SocketError::Interrupted) {
            return got;
        }
    }
}

using Clock = std::chrono::steady_clock;

// Adds to the `got` bytes in RxBuffer what arrives, up to `until` bytes (only what this
// reply lacks: bytes after it belong to the next one). Each wait lasts until `deadline`, or,
// without one, the grace. False when a wait ran out before `until` was reached.
bool ReceiveUpTo(int fd, std::size_t& got, std::size_t until,
                 std::optional<Clock::time_point> deadline) {
    while (got < until) {
        const auto left =
            deadline
                ? std::chrono::duration_cast<std::chrono::milliseconds>(*deadline - Clock::now())
                : kRestGrace;
        if (left.count() <= 0 || platform::WaitSocket(fd, platform::kReadable, left) <= 0) {
            return false;
        }
        const long chunk =
            platform::Receive(fd, RxBuffer.data() + got, until - got, platform::Blocking::NoWait);
        if (chunk < 0 && (platform::LastSocketError() == platform::SocketError::TimedOut ||
                          platform::LastSocketError() == platform::SocketError::Interrupted)) {
            continue;
        }
        if (chunk <= 0) {
            break;  // closed: nothing more will come
        }
        got += static_cast<std::size_t>(chunk);
    }
    return true;
}

// Receives until `expected` bytes arrived, the time-out passed or the peer closed.
// `timedOut`: the reply may still be on its way (no byte in time, or only part of it).
std::size_t ReceiveExpected(int fd, std::size_t expected, bool& timedOut) {
    const Clock::time_point deadline = Clock::now() + NetReplyTimeout();
    // The first bytes usually have to be waited for: one blocking receive, bounded by the
    // socket's receive time-out, saves a poll per exchange.
    const long first = ReceiveOnce(fd, RxBuffer.data(), expected);
    if (first <= 0) {
        timedOut = ReceiveTimedOut(first);
        return 0;
    }
    std::size_t got = static_cast<std::size_t>(first);
    timedOut = !ReceiveUpTo(fd, got, expected, deadline);
    return got;
}

}  // namespace

void SetEthernetPort(std::uint16_t port) {
    g_port = port;
}

std::uint16_t GetEthernetPort() {
    return g_port;
}

bool ConnectEthernet(const std::string& address) {
    const std::uint64_t generation = g_connectGeneration.load();
    // The same reading as every address field: inet_addr would turn an unparsable text into
    // the broadcast address.
    const std::optional<Ipv4Octets> octets = ParseIpv4(address);
    if (!octets) {
        EthernetSocket = -1;
        return false;
    }
    const platform::Endpoint target{Ipv4Number(*octets), GetEthernetPort()};
    // Only one socket is kept: an old one would otherwise be lost open.
    if (EthernetSocket > 0) {
        CloseEthernet();
    }
    const int fd = platform::OpenSocket(platform::SocketKind::Stream);
    if (fd == platform::kNoSocket) {
        EthernetSocket = -1;
        ReportLinkMessage("Error reading network port!!!");
        return false;
    }
    if (!platform::SetNonBlocking(fd, true) || !ConnectWithin(fd, target, generation) ||
        !platform::SetNonBlocking(fd, false)) {
        return FailAttempt(fd);
    }
    SetTimeouts(fd);
    {
        const std::lock_guard<std::mutex> lock(g_addressLock);
        g_address = address;
    }
    g_replyInDoubt = false;
    EthernetSocket = fd;
    return true;
}

void CancelEthernetConnect() {
    ++g_connectGeneration;
}

void CloseEthernet() {
    // Waits for an exchange in flight, so its receive never meets a closed socket.
    LinkTransaction transaction;
    g_replyInDoubt = false;
    const int fd = EthernetSocket.exchange(0);
    if (fd > 0) {
        platform::CloseSocket(fd);
    }
}

namespace {
// The socket a new transaction sends on: a fresh connection after a reply in doubt, with
// anything that came late discarded when asked; 0 or -1 when there is none.
int SocketForSending(bool discardStale) {
    if (g_replyInDoubt && EthernetSocket > 0 && LinkTransactionSerial() != g_doubtTransaction) {
        Resynchronise();
    }
    const int fd = EthernetSocket;
    if (fd > 0 && discardStale) {
        DiscardStaleReplies(fd);
    }
    return fd;
}

int SendTxBuffer(bool discardStale) {
    LinkTransaction transaction;
    const int fd = SocketForSending(discardStale);
    if (fd <= 0 || TxLength <= 0) {
        return 0;
    }
    const std::size_t length =
        std::min<std::size_t>(static_cast<std::size_t>(TxLength), TxBuffer.size());
    std::size_t total = 0;
    while (total < length) {
        const long sent = platform::Send(fd, TxBuffer.data() + total, length - total);
        if (sent < 0 && platform::LastSocketError() == platform::SocketError::Interrupted) {
            continue;
        }
        if (sent <= 0) {
            return 0;
        }
        total += static_cast<std::size_t>(sent);
    }
    TraceFrame(TraceLink::Tcp, TraceDirection::Sent, TxBuffer.data(), total);
    return static_cast<int>(total);
}
}  // namespace

int NetSend() {
    return SendTxBuffer(true);
}

int NetSendFollowing() {
    return SendTxBuffer(false);
}

int NetBeginUnansweredTransfer() {
    LinkTransaction transaction;
    return SocketForSending(true);
}

void SetEthernetSendTimeout(std::chrono::milliseconds limit) {
    const int fd = EthernetSocket;
    if (fd <= 0) {
        return;
    }
    platform::SetSendTimeout(fd, limit);
}

bool NetReceive(std::size_t expected) {
    LinkTransaction transaction;
    RxBuffer.fill(0);
    g_lastReceived = 0;
    const int fd = EthernetSocket;
    std::size_t got = 0;
    bool timedOut = false;
    if (fd > 0) {
        if (expected == 0) {
            const long chunk = ReceiveOnce(fd, RxBuffer.data(), RxBuffer.size());
            got = chunk > 0 ? static_cast<std::size_t>(chunk) : 0;
            timedOut = ReceiveTimedOut(chunk);
            if (got > 0) {
                ReceiveUpTo(fd, got, kReplyBlock, std::nullopt);
            }
        } else {
            got = ReceiveExpected(fd, std::min(expected, RxBuffer.size()), timedOut);
        }
    }
    if (timedOut) {
        g_replyInDoubt = true;
        g_doubtTransaction = LinkTransactionSerial();
    }
    if (got == 0) {
        NoteLinkFailure(timedOut ? LinkFailure::NoReply : LinkFailure::Broken);
        ReportLinkMessage(kDisconnected);
        return false;
    }
    g_lastReceived = got;
    TraceFrame(TraceLink::Tcp, TraceDirection::Received, RxBuffer.data(), got);
    return true;
}

std::size_t LastReceivedLength() {
    return g_lastReceived;
}
