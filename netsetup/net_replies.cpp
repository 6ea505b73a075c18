#include "netsetup/net_replies.h"

#include <algorithm>

namespace {
constexpr std::size_t kReadReplyHeader = 3;
}

bool SettingsFromReadReply(const std::uint8_t* reply, std::size_t size, NetSettings& settings) {
    // Part of a record would leave the rest of the settings as they were before, and a write
    // would then send that mixture back to the laminator.
    if (size < kReadReplySize)
        return false;
    std::copy_n(reply + kReadReplyHeader, settings.size(), settings.begin());
    return true;
}

bool ReadReplyHoldsMac(const std::uint8_t* reply, std::size_t size, const MacBytes& mac) {
    if (size < kReadReplySize)
        return false;
    return std::equal(mac.begin(), mac.end(), reply + kReadReplyHeader + kSettingsMacOffset);
}

bool SettingsReplyFilter::Take(std::uint32_t sender, const std::uint8_t* data, std::size_t size,
                               NetSettings& settings) {
    // Another host that saw the broadcast does not choose what is written back.
    if (sender != m_from)
        return false;
    if (m_assembly.Take(data, size).step != ReplyAssembly<kReadReplySize>::Step::Whole)
        return false;
    const std::uint8_t* record = m_assembly.Bytes().data();
    return ReadReplyHoldsMac(record, kReadReplySize, m_mac) &&
           SettingsFromReadReply(record, kReadReplySize, settings);
}

void AcknowledgementGather::Take(std::uint32_t sender, const std::uint8_t* data, std::size_t size) {
    if (sender != m_from || size > kSize - m_size)
        return;
    std::copy_n(data, size, m_bytes.begin() + static_cast<long>(m_size));
    m_size += size;
}

NetResult AcknowledgementResult(const std::uint8_t* reply, std::size_t size,
                                const std::uint8_t* ack, std::size_t ackSize) {
    if (size == 0)
        return kNetNoReply;
    // Compared as a prefix: a shorter reply matching its first bytes counts as equal.
    const std::size_t compared = std::min(size, ackSize);
    return std::equal(reply, reply + compared, ack) ? kNetSuccess : kNetBadAck;
}
