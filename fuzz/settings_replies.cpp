// The answers to a settings read and to a write: datagrams from a few senders, the laminator
// asked among them. Settings come only from it, only whole and only with its MAC; an
// acknowledgement only from it, never more than 5 bytes.
// Input: the MAC (6 bytes), then datagrams, each a sender byte, a length byte and that many
// bytes (the length may lie).
#include <algorithm>
#include <array>
#include <cstdint>

#include "fuzz/fuzz_check.h"
#include "netsetup/net_protocol.h"
#include "netsetup/net_replies.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    constexpr std::uint32_t kLaminator = 0x7F000001u;
    if (size < 6)
        return 0;
    MacBytes mac{};
    std::copy_n(data, 6, mac.begin());
    SettingsReplyFilter filter(kLaminator, mac);
    AcknowledgementGather gather(kLaminator);
    NetSettings settings{};
    settings.fill(0xEE);
    bool read = false;
    std::size_t at = 6;
    while (at + 1 < size) {
        const std::uint32_t sender = kLaminator + (data[at++] & 3u);
        const std::size_t claimed = data[at++];
        const std::size_t real = std::min(claimed, size - at);
        std::array<std::uint8_t, kReadReplySize> copied{};
        std::copy_n(data + at, std::min(real, copied.size()), copied.begin());
        at += real;

        const NetSettings before = settings;
        const bool took = !read && filter.Take(sender, copied.data(), real, settings);
        if (took) {
            read = true;
            FUZZ_CHECK(sender == kLaminator);
            FUZZ_CHECK(std::equal(mac.begin(), mac.end(), settings.begin() + kSettingsMacOffset));
            // A whole datagram is taken as it stands, by position.
            if (real == kReadReplySize)
                FUZZ_CHECK(std::equal(settings.begin(), settings.end(), copied.begin() + 3));
        } else {
            FUZZ_CHECK(settings == before);
        }

        const std::size_t had = gather.Size();
        gather.Take(sender, copied.data(), real);
        FUZZ_CHECK(gather.Size() <= AcknowledgementGather::kSize);
        if (sender != kLaminator || real > AcknowledgementGather::kSize - had)
            FUZZ_CHECK(gather.Size() == had);
        else
            FUZZ_CHECK(gather.Size() == had + real &&
                       std::equal(copied.begin(), copied.begin() + static_cast<long>(real),
                                  gather.Bytes() + had));
    }
    for (const auto& ack :
         {std::array<std::uint8_t, 5>{0xFF, 0x01, 0x05, 0x4B, 0}, kFinishAcknowledgement}) {
        const std::size_t ackSize = ack[4] == 0 ? 4 : 5;
        const NetResult r =
            AcknowledgementResult(gather.Bytes(), gather.Size(), ack.data(), ackSize);
        FUZZ_CHECK(r == kNetSuccess || r == kNetBadAck || (r == kNetNoReply && gather.Size() == 0));
        if (r == kNetSuccess)
            FUZZ_CHECK(std::equal(gather.Bytes(), gather.Bytes() + std::min(gather.Size(), ackSize),
                                  ack.begin()));
    }
    return 0;
}
