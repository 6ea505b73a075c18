#pragma once
// The replies of one search taken from the datagrams that carry them, with no socket. Each
// sender's pieces are joined on their own, so a stray datagram from one host neither joins
// nor blocks another's reply. A row is one MAC at one address; the list and everything kept
// about a flood of replies stay bounded.
#include <array>
#include <cstddef>
#include <cstdint>
#include <list>
#include <optional>
#include <set>
#include <unordered_map>

#include "netsetup/net_protocol.h"
#include "netsetup/net_replies.h"

struct DatagramSender {
    std::uint32_t address = 0;  // host byte order
    std::uint16_t port = 0;
};

class SearchCollection {
  public:
    static constexpr std::size_t kMaxListed = 4096;
    // Senders with a fragment waiting; beyond this the oldest fragment is dropped.
    static constexpr std::size_t kMaxPendingSenders = 1024;
    // Distinct laminators remembered beyond the list, so a repeated reply is counted once.
    // Further replies are counted as they come.
    static constexpr std::size_t kMaxRememberedUnlisted = 65536;

    // A datagram of real size `size` from `sender`, of which min(size, 36) bytes are at
    // `data`. Returns the laminator to list when it completes a reply not listed before.
    std::optional<FoundLaminator> Take(const DatagramSender& sender, const std::uint8_t* data,
                                       std::size_t size);
    // The search is over: fragments still waiting cannot complete.
    void Finish();

    std::size_t Listed() const { return m_listed.size(); }
    // Laminators that answered but are not listed (the list was full).
    std::size_t NotListed() const { return m_notListed; }
    // Datagrams and fragments that never became a reply.
    std::size_t Dropped() const { return m_dropped; }

  private:
    using Key = std::array<std::uint8_t, 10>;  // MAC and sender address
    struct Pending {
        ReplyAssembly<kSearchReplySize> assembly;
        std::list<std::uint64_t>::iterator age;
    };

    std::optional<FoundLaminator> Complete(const DatagramSender& sender, const SearchReply& reply);
    ReplyAssembly<kSearchReplySize>& PendingOf(std::uint64_t key);
    void Forget(std::uint64_t key);

    std::unordered_map<std::uint64_t, Pending> m_pending;
    std::list<std::uint64_t> m_oldestFirst;
    std::set<Key> m_listed;
    std::set<Key> m_unlisted;
    std::size_t m_notListed = 0;
    std::size_t m_dropped = 0;
};
