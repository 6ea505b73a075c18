#include "netsetup/net_replies.h"

#include <algorithm>

SearchReplyAssembly::Step SearchReplyAssembly::Took(std::size_t size) {
    const std::size_t room = Room();
    if (size > room) {
        // Oversized: nothing of it is taken, not even the part that was copied.
        std::fill(m_record.begin() + static_cast<long>(m_fill), m_record.end(), 0);
        return Step::Dropped;
    }
    m_fill += size;
    return size < room ? Step::Partial : Step::Whole;
}

void SearchReplyAssembly::Reset() {
    m_record.fill(0);
    m_fill = 0;
}

bool SettingsFromReadReply(const std::uint8_t* reply, std::size_t size, NetSettings& settings) {
    // Part of a record would leave the rest of the settings as they were before, and a write
    // would then send that mixture back to the laminator.
    if (size < kReadReplySize)
        return false;
    std::copy_n(reply + 3, settings.size(), settings.begin());
    return true;
}

NetResult AcknowledgementResult(const std::uint8_t* reply, std::size_t size,
                                const std::uint8_t* ack, std::size_t ackSize) {
    if (size == 0)
        return kNetNoReply;
    // Compared as a prefix: a shorter reply matching its first bytes counts as equal.
    const std::size_t compared = std::min(size, ackSize);
    return std::equal(reply, reply + compared, ack) ? kNetSuccess : kNetBadAck;
}
