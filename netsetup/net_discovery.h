#pragma once
// The discovery and configuration protocol: find laminators by broadcast, read and write one
// laminator's network settings by its MAC. A search returns at once; its replies are
// collected on a receive thread until 500 ms pass without a datagram, or 3 s after the request.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "netsetup/discovery_socket.h"
#include "netsetup/net_protocol.h"
#include "netsetup/search_collection.h"
#include "netsetup/search_target.h"
#include "platform/wakeup.h"

class CNetDiscovery {
  public:
    static constexpr std::chrono::milliseconds kReplyTimeout{500};
    static constexpr std::chrono::milliseconds kStartWait{3000};
    // A search ends at the latest this long after its request, whatever keeps arriving.
    static constexpr std::chrono::milliseconds kSearchCeiling{3000};
    static constexpr std::size_t kMaxListed = SearchCollection::kMaxListed;

    explicit CNetDiscovery(const SearchTarget& target = GetSearchTarget());
    // Ends a collection still running and waits for its receive thread.
    ~CNetDiscovery();
    CNetDiscovery(const CNetDiscovery&) = delete;
    CNetDiscovery& operator=(const CNetDiscovery&) = delete;

    NetResult Search();
    // The settings are taken only from the address that answered the search, and only when
    // they carry the laminator's MAC; anything else is ignored until the time-out.
    NetResult ReadConfig(const FoundLaminator& laminator);
    // The laminator the last search found with this reply (or at least this MAC).
    NetResult ReadConfig(const SearchReply& reply);
    // Acknowledgements are taken only from the address the settings were read from.
    NetResult WriteConfig(const SearchReply& reply);
    NetResult FinishWrite(const SearchReply& reply);

    bool PopReply(FoundLaminator& found);
    bool PopReply(SearchReply& reply);
    int QueueSize() const;
    bool IsIdle() const;
    // Waits until a record is queued or the object is idle; false when the time-out passed.
    bool WaitForReplyOrIdle(std::chrono::milliseconds timeout) const;
    // Ends a running collection now (a closing dialog); the records queued remain.
    void StopCollection();
    // Of the last search: datagrams and fragments that never became a reply.
    std::size_t DroppedReplies() const { return m_dropped.load(); }
    // Of the last search: laminators that answered beyond the kMaxListed listed.
    std::size_t NotShown() const { return m_notShown.load(); }

    // The settings read last; the settings dialog edits them before a write.
    NetSettings m_settings{};

  private:
    struct StartHandshake;
    using Clock = std::chrono::steady_clock;

    bool ClaimIdle();
    void SetIdle();
    void Notify() const;
    bool IsCollectionStopped() const;
    // The socket, fresh for every operation, and the request sent through it.
    bool Reopen();
    bool SendPacket(const std::vector<std::uint8_t>& request);
    // False when nothing is waiting by the deadline.
    bool WaitReadable(Clock::time_point deadline);
    bool ReceiveSettings(std::uint32_t from, const MacBytes& mac);
    // Bytes `from` sent within the reply time-out into m_reply (at most 5).
    std::size_t ReceiveAcknowledgement(std::uint32_t from);
    NetResult Acknowledged(const std::vector<std::uint8_t>& request, const std::uint8_t* ack,
                           std::size_t ackSize);
    void ReceiveLoop(const std::shared_ptr<StartHandshake>& start);
    // Reads what is waiting into the collection; false on a socket error.
    bool DrainInto(SearchCollection& collection, Clock::time_point deadline);
    void QueueRecord(const FoundLaminator& found);
    void JoinReceiver();

    DiscoverySocket m_socket;
    std::vector<std::uint8_t> m_reply;

    // IdleLock: m_idle, m_configRead and where the settings came from. QueueLock: the reply
    // queue and the laminators of the last search. Never held together.
    mutable std::mutex m_idleLock;
    bool m_idle = true;
    bool m_configRead = false;
    std::uint32_t m_settingsFrom = 0;
    mutable std::mutex m_queueLock;
    std::deque<FoundLaminator> m_queue;
    std::vector<FoundLaminator> m_found;
    // SendLock: one datagram send at a time.
    std::mutex m_sendLock;

    // Wakes the collector of the device list when a record is queued or the object is idle.
    mutable std::mutex m_signalMutex;
    mutable std::condition_variable m_signal;

    std::thread m_receiver;
    platform::Wakeup m_wake;  // tells the receive thread to end now
    std::atomic<bool> m_stopCollection{false};
    std::atomic<std::size_t> m_dropped{0};
    std::atomic<std::size_t> m_notShown{0};
};
