#include "netsetup/net_discovery.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <set>
#include <system_error>

#include "netsetup/net_replies.h"

// The receive thread may start late; a search that gave up on it tells it not to run.
struct CNetDiscovery::StartHandshake {
    std::mutex mutex;
    std::condition_variable changed;
    bool started = false;
    bool abandoned = false;
};

CNetDiscovery::CNetDiscovery(const SearchTarget& target)
    : m_socket(target), m_wakeFd(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

CNetDiscovery::~CNetDiscovery() {
    StopCollection();
    JoinReceiver();
    m_socket.Close();
    if (m_wakeFd >= 0)
        close(m_wakeFd);
}

bool CNetDiscovery::ClaimIdle() {
    std::lock_guard lock(m_idleLock);
    if (!m_idle)
        return false;
    m_idle = false;
    return true;
}

void CNetDiscovery::SetIdle() {
    {
        std::lock_guard lock(m_idleLock);
        m_idle = true;
    }
    Notify();
}

void CNetDiscovery::Notify() const {
    // Taken and released so a waiter between its check and its wait cannot miss this.
    { std::lock_guard lock(m_signalMutex); }
    m_signal.notify_all();
}

bool CNetDiscovery::IsIdle() const {
    std::lock_guard lock(m_idleLock);
    return m_idle;
}

int CNetDiscovery::QueueSize() const {
    std::lock_guard lock(m_queueLock);
    return static_cast<int>(m_queue.size());
}

bool CNetDiscovery::PopReply(SearchReply& reply) {
    std::lock_guard lock(m_queueLock);
    if (m_queue.empty())
        return false;
    reply = m_queue.front();
    m_queue.pop_front();
    return true;
}

bool CNetDiscovery::WaitForReplyOrIdle(std::chrono::milliseconds timeout) const {
    std::unique_lock lock(m_signalMutex);
    return m_signal.wait_for(lock, timeout, [&] { return QueueSize() > 0 || IsIdle(); });
}

void CNetDiscovery::StopCollection() {
    m_stopCollection.store(true);
    if (m_wakeFd >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = write(m_wakeFd, &one, sizeof one);
    }
}

bool CNetDiscovery::IsCollectionStopped() const {
    return m_stopCollection.load();
}

void CNetDiscovery::JoinReceiver() {
    if (m_receiver.joinable())
        m_receiver.join();
}

bool CNetDiscovery::Reopen() {
    return m_socket.Open();
}

bool CNetDiscovery::SendPacket(const std::vector<std::uint8_t>& request) {
    std::lock_guard lock(m_sendLock);
    return m_socket.Send(request.data(), request.size());
}

std::size_t CNetDiscovery::ReceiveReply(std::size_t size) {
    m_reply.assign(size, 0);
    pollfd ready{m_socket.Fd(), POLLIN, 0};
    if (poll(&ready, 1, static_cast<int>(kReplyTimeout.count())) <= 0)
        return 0;
    std::size_t received = 0;
    while (received < size) {
        bool failed = false;
        const long n = m_socket.ReadDatagram(m_reply.data() + received, size - received, failed);
        if (n <= 0)
            break;
        // A datagram larger than the room left is not taken.
        if (static_cast<std::size_t>(n) > size - received)
            continue;
        received += static_cast<std::size_t>(n);
    }
    return received;
}

NetResult CNetDiscovery::Search() {
    if (!ClaimIdle())
        return kNetBusy;
    // The previous receive thread set the object idle as its last step; it is ending.
    JoinReceiver();
    {
        std::lock_guard lock(m_queueLock);
        m_queue.clear();
    }
    m_stopCollection.store(false);
    std::uint64_t pending = 0;
    while (m_wakeFd >= 0 && read(m_wakeFd, &pending, sizeof pending) > 0) {
    }
    if (!Reopen()) {
        SetIdle();
        return kNetSendFailed;
    }
    auto start = std::make_shared<StartHandshake>();
    try {
        m_receiver = std::thread([this, start] { ReceiveLoop(start); });
    } catch (const std::system_error&) {
        SetIdle();
        return kNetSendFailed;
    }
    {
        std::unique_lock lock(start->mutex);
        if (!start->changed.wait_for(lock, kStartWait, [&] { return start->started; })) {
            start->abandoned = true;
            lock.unlock();
            SetIdle();
            return kNetSendFailed;
        }
    }
    SendPacket(BuildSearchRequest());  // a failed send only means no replies
    std::lock_guard lock(m_idleLock);
    m_configRead = false;
    return kNetSuccess;
}

void CNetDiscovery::QueueRecord(const SearchReply& record) {
    {
        std::lock_guard lock(m_queueLock);
        if (m_queue.size() >= kMaxQueuedReplies) {
            m_dropped.fetch_add(1);
            return;
        }
        m_queue.push_back(record);
    }
    Notify();
}

void CNetDiscovery::ReceiveLoop(const std::shared_ptr<StartHandshake>& start) {
    {
        std::lock_guard lock(start->mutex);
        if (start->abandoned)
            return;
        start->started = true;
    }
    start->changed.notify_all();

    SearchReplyAssembly assembly;
    // A laminator reached through two interfaces answers twice; it is listed once.
    std::set<MacBytes> seen;
    for (;;) {
        pollfd fds[2] = {{m_socket.Fd(), POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
        const int ready = poll(fds, 2, static_cast<int>(kReplyTimeout.count()));
        if (IsCollectionStopped() || ready == 0)
            break;  // 500 ms without a datagram: the collection is over
        if (ready < 0 || !(fds[0].revents & POLLIN))
            continue;
        bool failed = false;
        const long n = m_socket.ReadDatagram(assembly.Free(), assembly.Room(), failed);
        if (failed)
            break;
        if (n < 0)
            continue;
        const SearchReplyAssembly::Step step = assembly.Took(static_cast<std::size_t>(n));
        if (step == SearchReplyAssembly::Step::Dropped)
            m_dropped.fetch_add(1);
        if (step != SearchReplyAssembly::Step::Whole)
            continue;
        if (seen.insert(ReplyMac(assembly.Record())).second)
            QueueRecord(assembly.Record());
        assembly.Reset();
    }
    SetIdle();
}

NetResult CNetDiscovery::ReadConfig(const SearchReply& reply) {
    if (!ClaimIdle())
        return kNetBusy;
    auto fail = [this](NetResult result) {
        {
            std::lock_guard lock(m_idleLock);
            m_configRead = false;
        }
        SetIdle();
        return result;
    };
    if (!Reopen() || !SendPacket(BuildAddressedRequest(kCommandRead, ReplyMac(reply))))
        return fail(kNetSendFailed);
    const std::size_t n = ReceiveReply(kReadReplySize);
    // A reply without the whole record counts as no reply.
    if (!SettingsFromReadReply(m_reply.data(), n, m_settings))
        return fail(kNetNoReply);
    {
        std::lock_guard lock(m_idleLock);
        m_configRead = true;
    }
    SetIdle();
    return kNetSuccess;
}

NetResult CNetDiscovery::Acknowledged(const std::vector<std::uint8_t>& request,
                                      const std::uint8_t* ack, std::size_t ackSize) {
    {
        std::lock_guard lock(m_idleLock);
        if (!m_idle)
            return kNetBusy;
        if (!m_configRead)
            return kNetNotRead;
        m_idle = false;
    }
    if (!Reopen() || !SendPacket(request)) {
        SetIdle();
        return kNetSendFailed;
    }
    const std::size_t n = ReceiveReply(5);
    SetIdle();
    return AcknowledgementResult(m_reply.data(), n, ack, ackSize);
}

NetResult CNetDiscovery::WriteConfig(const SearchReply& reply) {
    // The fifth byte of the reply would be the laminator's checksum; only the four defined
    // bytes are compared.
    return Acknowledged(BuildWriteRequest(ReplyMac(reply), m_settings),
                        kWriteAcknowledgement.data(), kWriteAcknowledgement.size());
}

NetResult CNetDiscovery::FinishWrite(const SearchReply& reply) {
    return Acknowledged(BuildAddressedRequest(kCommandFinish, ReplyMac(reply)),
                        kFinishAcknowledgement.data(), kFinishAcknowledgement.size());
}
