// The discovery protocol's answers: search replies gathered from datagrams of any size and
// listed, the settings of a read reply, and the write and finishing acknowledgements.
// Input: datagrams from a few senders, each a sender byte, a length byte and that many bytes
// (the length may lie).
#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "netsetup/net_protocol.h"
#include "netsetup/net_replies.h"
#include "netsetup/search_collection.h"

namespace {
void CheckListed(const SearchReply& reply) {
    FUZZ_CHECK(ReplyName(reply).size() <= 16);
    FUZZ_CHECK(ReplyMacText(reply).size() == 17);
    FUZZ_CHECK(ReplyIpText(reply).size() <= 15);
    FUZZ_CHECK(ReplyDeviceId(reply).size() <= 16);
    FUZZ_CHECK(ReplyFwBoot(reply).size() <= 32);
    // The MAC goes back out unchanged in every addressed request.
    const MacBytes mac = ReplyMac(reply);
    FUZZ_CHECK(std::equal(mac.begin(), mac.end(), reply.begin() + kReplyMacOffset));
    const std::vector<std::uint8_t> read = BuildAddressedRequest(kCommandRead, mac);
    FUZZ_CHECK(read.back() == Checksum(read.data(), read.size()));
    FUZZ_CHECK(std::equal(mac.begin(), mac.end(), read.begin() + 3));
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Each datagram: a sender byte (one of four hosts), a length byte, that many bytes.
    SearchCollection collection;
    std::size_t datagrams = 0;
    std::size_t listed = 0;
    std::size_t at = 0;
    while (at + 1 < size) {
        const DatagramSender sender{0x7F000001u + (data[at++] & 3u), 1901};
        const std::size_t claimed = data[at++];
        const std::size_t real = std::min(claimed, size - at);
        // As the socket does: at most 36 bytes are copied, the real size is reported.
        std::array<std::uint8_t, kSearchReplySize> copied{};
        std::copy_n(data + at, std::min(real, copied.size()), copied.begin());
        at += real;
        ++datagrams;
        if (const auto found = collection.Take(sender, copied.data(), real)) {
            ++listed;
            FUZZ_CHECK(found->address == sender.address);
            CheckListed(found->reply);
            // A whole datagram is listed as it stands.
            if (real == kSearchReplySize)
                FUZZ_CHECK(found->reply == copied);
        }
        FUZZ_CHECK(collection.Listed() == listed);
        FUZZ_CHECK(listed + collection.Dropped() <= datagrams + 1);
    }
    collection.Finish();
    FUZZ_CHECK(collection.Listed() <= SearchCollection::kMaxListed);

    // The whole input as one read reply and as one acknowledgement.
    NetSettings settings{};
    settings.fill(0xEE);
    if (SettingsFromReadReply(data, size, settings)) {
        FUZZ_CHECK(size >= kReadReplySize);
        FUZZ_CHECK(std::equal(settings.begin(), settings.end(), data + 3));
        // Written back, the settings travel as read.
        const std::vector<std::uint8_t> write = BuildWriteRequest(MacBytes{}, settings);
        FUZZ_CHECK(write.size() == 3 + 6 + 12 + kNetSettingsSize + 1);
        FUZZ_CHECK(std::equal(settings.begin(), settings.end(), write.begin() + 21));
    } else {
        // Half a record leaves the settings as they were.
        FUZZ_CHECK(size < kReadReplySize);
        FUZZ_CHECK(std::all_of(settings.begin(), settings.end(),
                               [](std::uint8_t b) { return b == 0xEE; }));
    }
    const NetResult write = AcknowledgementResult(data, size, kWriteAcknowledgement.data(),
                                                  kWriteAcknowledgement.size());
    const NetResult finish = AcknowledgementResult(data, size, kFinishAcknowledgement.data(),
                                                   kFinishAcknowledgement.size());
    for (NetResult r : {write, finish})
        FUZZ_CHECK(r == kNetSuccess || r == kNetBadAck || (r == kNetNoReply && size == 0));
    return 0;
}
