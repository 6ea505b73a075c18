#pragma once
// The laminators' answers on the discovery port taken apart, with no socket: the search
// reply gathered from its datagrams, the settings of a read reply, the acknowledgements.
#include <cstddef>
#include <cstdint>

#include "netsetup/net_protocol.h"

// A search reply may come split over datagrams; they are joined until 36 bytes are there.
class SearchReplyAssembly {
  public:
    enum class Step { Partial, Dropped, Whole };

    // Where the next datagram is copied, and how much of it fits.
    std::uint8_t* Free() { return m_record.data() + m_fill; }
    std::size_t Room() const { return kSearchReplySize - m_fill; }
    // A datagram of real size `size` was copied to Free() (at most Room() bytes of it). One
    // larger than the room is dropped whole; Whole means Record() holds a complete reply.
    Step Took(std::size_t size);
    const SearchReply& Record() const { return m_record; }
    void Reset();

  private:
    SearchReply m_record{};
    std::size_t m_fill = 0;
};

// The settings record of a read reply (header of 3, 65 settings bytes, checksum); false,
// leaving `settings` as it was, for a reply shorter than the whole 69 bytes.
bool SettingsFromReadReply(const std::uint8_t* reply, std::size_t size, NetSettings& settings);

// Success when the reply's bytes match the acknowledgement as far as both go, -1 otherwise,
// no reply for an empty one.
NetResult AcknowledgementResult(const std::uint8_t* reply, std::size_t size,
                                const std::uint8_t* ack, std::size_t ackSize);
