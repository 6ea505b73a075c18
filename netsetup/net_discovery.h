#pragma once
// The discovery and configuration protocol: find laminators by broadcast, read and write one
// laminator's network settings by its MAC. A search returns at once; its replies are
// collected on a receive thread until 500 ms pass without a datagram.
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
#include "netsetup/search_target.h"

class CNetDiscovery {
  public:
    static constexpr std::chrono::milliseconds kReplyTimeout{500};
    static constexpr std::chrono::milliseconds kStartWait{3000};
    // Datagrams are untrusted: beyond this many waiting records further replies are dropped.
    static constexpr std::size_t kMaxQueuedReplies = 10000;

    explicit CNetDiscovery(const SearchTarget& target = GetSearchTarget());
    // Ends a collection still running and waits for its receive thread.
    ~CNetDiscovery();
    CNetDiscovery(const CNetDiscovery&) = delete;
    CNetDiscovery& operator=(const CNetDiscovery&) = delete;

    NetResult Search();
    NetResult ReadConfig(const SearchReply& reply);
    NetResult WriteConfig(const SearchReply& reply);
    NetResult FinishWrite(const SearchReply& reply);

    bool PopReply(SearchReply& reply);
    int QueueSize() const;
    bool IsIdle() const;
    // Waits until a record is queued or the object is idle; false when the time-out passed.
    bool WaitForReplyOrIdle(std::chrono::milliseconds timeout) const;
    // Ends a running collection now (a closing dialog); the records queued remain.
    void StopCollection();
    // Replies not queued: the queue was full, or a datagram did not fit the record.
    std::size_t DroppedReplies() const { return m_dropped.load(); }

    // The settings read last; the settings dialog edits them before a write.
    NetSettings m_settings{};

  private:
    struct StartHandshake;

    bool ClaimIdle();
    void SetIdle();
    void Notify() const;
    bool IsCollectionStopped() const;
    // The socket, fresh for every operation, and the request sent through it.
    bool Reopen();
    bool SendPacket(const std::vector<std::uint8_t>& request);
    // Bytes received within the reply time-out into m_reply (at most `size`).
    std::size_t ReceiveReply(std::size_t size);
    NetResult Acknowledged(const std::vector<std::uint8_t>& request, const std::uint8_t* ack,
                           std::size_t ackSize);
    void ReceiveLoop(const std::shared_ptr<StartHandshake>& start);
    void QueueRecord(const SearchReply& record);
    void JoinReceiver();

    DiscoverySocket m_socket;
    std::vector<std::uint8_t> m_reply;

    // IdleLock: m_idle and m_configRead. QueueLock: the reply queue. Never held together.
    mutable std::mutex m_idleLock;
    bool m_idle = true;
    bool m_configRead = false;
    mutable std::mutex m_queueLock;
    std::deque<SearchReply> m_queue;
    // SendLock: one datagram send at a time.
    std::mutex m_sendLock;

    // Wakes the collector of the device list when a record is queued or the object is idle.
    mutable std::mutex m_signalMutex;
    mutable std::condition_variable m_signal;

    std::thread m_receiver;
    int m_wakeFd = -1;  // tells the receive thread to end now
    std::atomic<bool> m_stopCollection{false};
    std::atomic<std::size_t> m_dropped{0};
};
