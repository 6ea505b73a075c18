#include "netsetup/search_collection.h"

#include <algorithm>

namespace {
std::uint64_t SenderKey(const DatagramSender& s) {
    return static_cast<std::uint64_t>(s.address) << 16 | s.port;
}
}  // namespace

std::optional<FoundLaminator> SearchCollection::Take(const DatagramSender& sender,
                                                     const std::uint8_t* data, std::size_t size) {
    const std::uint64_t key = SenderKey(sender);
    if (size == 0)
        return std::nullopt;
    const auto pending = m_pending.find(key);
    if (pending == m_pending.end() && size >= kSearchReplySize) {
        if (size > kSearchReplySize) {
            ++m_dropped;
            return std::nullopt;
        }
        SearchReply reply{};
        std::copy_n(data, kSearchReplySize, reply.begin());
        return Complete(sender, reply);
    }
    ReplyAssembly<kSearchReplySize>& assembly =
        pending == m_pending.end() ? PendingOf(key) : pending->second.assembly;
    const auto taken = assembly.Take(data, size);
    m_dropped += (taken.discarded ? 1 : 0) +
                 (taken.step == ReplyAssembly<kSearchReplySize>::Step::Oversized ? 1 : 0);
    if (taken.step == ReplyAssembly<kSearchReplySize>::Step::Partial)
        return std::nullopt;
    const SearchReply reply = assembly.Bytes();
    Forget(key);
    if (taken.step == ReplyAssembly<kSearchReplySize>::Step::Oversized)
        return std::nullopt;
    return Complete(sender, reply);
}

std::optional<FoundLaminator> SearchCollection::Complete(const DatagramSender& sender,
                                                         const SearchReply& reply) {
    Key key{};
    std::copy_n(reply.begin() + kReplyMacOffset, 6, key.begin());
    for (int i = 0; i < 4; ++i)
        key[6 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(sender.address >> (8 * i));
    if (m_listed.count(key))
        return std::nullopt;
    if (m_listed.size() < kMaxListed) {
        m_listed.insert(key);
        return FoundLaminator{reply, sender.address};
    }
    if (m_unlisted.size() < kMaxRememberedUnlisted) {
        if (m_unlisted.insert(key).second)
            ++m_notListed;
    } else if (!m_unlisted.count(key)) {
        ++m_notListed;
    }
    return std::nullopt;
}

ReplyAssembly<kSearchReplySize>& SearchCollection::PendingOf(std::uint64_t key) {
    if (m_pending.size() >= kMaxPendingSenders) {
        Forget(m_oldestFirst.front());
        ++m_dropped;
    }
    m_oldestFirst.push_back(key);
    Pending& p = m_pending[key];
    p.age = std::prev(m_oldestFirst.end());
    return p.assembly;
}

void SearchCollection::Forget(std::uint64_t key) {
    const auto found = m_pending.find(key);
    if (found == m_pending.end())
        return;
    m_oldestFirst.erase(found->second.age);
    m_pending.erase(found);
}

void SearchCollection::Finish() {
    for (const auto& [key, pending] : m_pending)
        m_dropped += pending.assembly.Gathered() > 0 ? 1 : 0;
    m_pending.clear();
    m_oldestFirst.clear();
}
