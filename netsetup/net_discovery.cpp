#include "netsetup/net_discovery.h"

#include <algorithm>
#include <system_error>

#include "netsetup/net_replies.h"

// The receive thread may start late; a search that gave up on it tells it not to run.
struct CNetDiscovery::StartHandshake {
    std::mutex mutex;
    std::condition_variable changed;
    bool started = false;
    bool abandoned = false;
};

CNetDiscovery::CNetDiscovery(const SearchTarget& target) : m_socket(target) {}

CNetDiscovery::~CNetDiscovery() {
    StopCollection();
    JoinReceiver();
    m_socket.Close();
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

bool CNetDiscovery::PopReply(FoundLaminator& found) {
    std::lock_guard lock(m_queueLock);
    if (m_queue.empty())
        return false;
    found = m_queue.front();
    m_queue.pop_front();
    return true;
}

bool CNetDiscovery::PopReply(SearchReply& reply) {
    FoundLaminator found;
    if (!PopReply(found))
        return false;
    reply = found.reply;
    return true;
}

bool CNetDiscovery::WaitForReplyOrIdle(std::chrono::milliseconds timeout) const {
    std::unique_lock lock(m_signalMutex);
    return m_signal.wait_for(lock, timeout, [&] { return QueueSize() > 0 || IsIdle(); });
}

void CNetDiscovery::StopCollection() {
    m_stopCollection.store(true);
    m_wake.Raise();
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

bool CNetDiscovery::WaitReadable(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    bool datagram = false;
    return left > 0 &&
           m_socket.Wait(std::chrono::milliseconds(left), platform::kNoSocket, datagram) > 0;
}

bool CNetDiscovery::ReceiveSettings(std::uint32_t from, const MacBytes& mac) {
    const Clock::time_point deadline = Clock::now() + kReplyTimeout;
    SettingsReplyFilter filter(from, mac);
    std::array<std::uint8_t, kReadReplySize> datagram{};
    while (WaitReadable(deadline)) {
        for (;;) {
            bool failed = false;
            DatagramSender sender;
            const long n = m_socket.ReadDatagram(datagram.data(), datagram.size(), failed, &sender);
            if (failed)
                return false;
            if (n < 0)
                break;
            if (filter.Take(sender.address, datagram.data(), static_cast<std::size_t>(n),
                            m_settings))
                return true;
        }
    }
    return false;
}

std::size_t CNetDiscovery::ReceiveAcknowledgement(std::uint32_t from) {
    AcknowledgementGather gather(from);
    const Clock::time_point deadline = Clock::now() + kReplyTimeout;
    while (gather.Size() == 0 && WaitReadable(deadline)) {
        for (;;) {
            std::array<std::uint8_t, AcknowledgementGather::kSize> datagram{};
            bool failed = false;
            DatagramSender sender;
            const long n = m_socket.ReadDatagram(datagram.data(), datagram.size(), failed, &sender);
            if (n < 0)
                break;
            gather.Take(sender.address, datagram.data(), static_cast<std::size_t>(n));
        }
    }
    m_reply.assign(gather.Bytes(), gather.Bytes() + gather.Size());
    return gather.Size();
}

NetResult CNetDiscovery::Search() {
    if (!ClaimIdle())
        return kNetBusy;
    // The previous receive thread set the object idle as its last step; it is ending.
    JoinReceiver();
    {
        std::lock_guard lock(m_queueLock);
        m_queue.clear();
        m_found.clear();
    }
    m_dropped.store(0);
    m_notShown.store(0);
    m_stopCollection.store(false);
    m_wake.Clear();
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

void CNetDiscovery::QueueRecord(const FoundLaminator& found) {
    {
        std::lock_guard lock(m_queueLock);
        m_queue.push_back(found);
        m_found.push_back(found);
    }
    Notify();
}

bool CNetDiscovery::DrainInto(SearchCollection& collection, Clock::time_point deadline) {
    std::array<std::uint8_t, kSearchReplySize> datagram{};
    for (unsigned count = 1;; ++count) {
        bool failed = false;
        DatagramSender sender;
        const long n = m_socket.ReadDatagram(datagram.data(), datagram.size(), failed, &sender);
        if (failed)
            return false;
        if (n < 0)
            return true;
        if (const auto found =
                collection.Take(sender, datagram.data(), static_cast<std::size_t>(n)))
            QueueRecord(*found);
        m_notShown.store(collection.NotListed());
        m_dropped.store(collection.Dropped());
        // A flood that never pauses still ends at the ceiling.
        if (count % 64 == 0 && (IsCollectionStopped() || Clock::now() >= deadline))
            return true;
    }
}

void CNetDiscovery::ReceiveLoop(const std::shared_ptr<StartHandshake>& start) {
    {
        std::lock_guard lock(start->mutex);
        if (start->abandoned)
            return;
        start->started = true;
    }
    start->changed.notify_all();

    // Taken before the request goes out, so the search never outlasts the ceiling.
    const Clock::time_point deadline = Clock::now() + kSearchCeiling;
    SearchCollection collection;
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            break;
        bool datagram = false;
        const int ready = m_socket.Wait(std::min(left, kReplyTimeout), m_wake.Id(), datagram);
        if (IsCollectionStopped() || ready == 0)
            break;  // 500 ms without a datagram: the collection is over
        if (ready < 0 || !datagram)
            continue;
        if (!DrainInto(collection, deadline))
            break;
    }
    collection.Finish();
    m_dropped.store(collection.Dropped());
    SetIdle();
}

NetResult CNetDiscovery::ReadConfig(const SearchReply& reply) {
    FoundLaminator laminator{reply, 0};
    {
        std::lock_guard lock(m_queueLock);
        const MacBytes mac = ReplyMac(reply);
        auto match = std::find_if(m_found.begin(), m_found.end(),
                                  [&](const FoundLaminator& f) { return f.reply == reply; });
        if (match == m_found.end())
            match = std::find_if(m_found.begin(), m_found.end(),
                                 [&](const FoundLaminator& f) { return ReplyMac(f.reply) == mac; });
        // No search found it: no address is trusted, and the read gets no reply.
        if (match != m_found.end())
            laminator.address = match->address;
    }
    return ReadConfig(laminator);
}

NetResult CNetDiscovery::ReadConfig(const FoundLaminator& laminator) {
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
    const MacBytes mac = ReplyMac(laminator.reply);
    if (!Reopen() || !SendPacket(BuildAddressedRequest(kCommandRead, mac)))
        return fail(kNetSendFailed);
    // A reply without the whole record counts as no reply.
    if (!ReceiveSettings(laminator.address, mac))
        return fail(kNetNoReply);
    {
        std::lock_guard lock(m_idleLock);
        m_configRead = true;
        m_settingsFrom = laminator.address;
    }
    SetIdle();
    return kNetSuccess;
}

NetResult CNetDiscovery::Acknowledged(const std::vector<std::uint8_t>& request,
                                      const std::uint8_t* ack, std::size_t ackSize) {
    std::uint32_t from = 0;
    {
        std::lock_guard lock(m_idleLock);
        if (!m_idle)
            return kNetBusy;
        if (!m_configRead)
            return kNetNotRead;
        m_idle = false;
        from = m_settingsFrom;
    }
    if (!Reopen() || !SendPacket(request)) {
        SetIdle();
        return kNetSendFailed;
    }
    const std::size_t n = ReceiveAcknowledgement(from);
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
