#pragma once
// The laminators' answers on the discovery port taken apart, with no socket: a reply gathered
// from the datagrams of one sender, the settings of a read reply, the acknowledgements.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

#include "netsetup/net_protocol.h"

// A reply of N bytes may come split over datagrams of one sender; they are joined until N
// bytes are there. A datagram of N bytes is a reply as it stands.
template <std::size_t N>
class ReplyAssembly {
  public:
    enum class Step { Partial, Whole, Oversized };
    struct Taken {
        Step step = Step::Partial;
        bool discarded = false;  // a fragment gathered before could not complete and was dropped
    };

    // A datagram of real size `size`, of which min(size, N) bytes are at `data`.
    Taken Take(const std::uint8_t* data, std::size_t size) {
        Taken t;
        if (size > N || m_fill + size > N) {
            // Nothing can complete what was gathered: it is dropped, this datagram may still
            // start a reply of its own.
            t.discarded = m_fill > 0;
            m_fill = 0;
            if (size > N) {
                t.step = Step::Oversized;
                return t;
            }
        }
        std::copy_n(data, size, m_bytes.begin() + static_cast<long>(m_fill));
        m_fill += size;
        if (m_fill == N) {
            m_fill = 0;
            t.step = Step::Whole;
        }
        return t;
    }
    // The reply after Take said Whole.
    const std::array<std::uint8_t, N>& Bytes() const { return m_bytes; }
    std::size_t Gathered() const { return m_fill; }
    void Clear() { m_fill = 0; }

  private:
    std::array<std::uint8_t, N> m_bytes{};
    std::size_t m_fill = 0;
};

// The settings record of a read reply (header of 3, 65 settings bytes, checksum); false,
// leaving `settings` as it was, for a reply shorter than the whole 69 bytes.
bool SettingsFromReadReply(const std::uint8_t* reply, std::size_t size, NetSettings& settings);

// True when a whole read reply carries the settings of the laminator with `mac` (a stranger's
// or a mangled record would otherwise be written back to this laminator).
bool ReadReplyHoldsMac(const std::uint8_t* reply, std::size_t size, const MacBytes& mac);

// The answer to a settings read, datagram by datagram: only what `from` sends counts, and
// only a whole record that holds `mac`.
class SettingsReplyFilter {
  public:
    SettingsReplyFilter(std::uint32_t from, const MacBytes& mac) : m_from(from), m_mac(mac) {}
    // A datagram of real size `size` from `sender`, min(size, 69) bytes of it at `data`. True
    // when it completed the laminator's record, which is then in `settings`.
    bool Take(std::uint32_t sender, const std::uint8_t* data, std::size_t size,
              NetSettings& settings);

  private:
    std::uint32_t m_from;
    MacBytes m_mac;
    ReplyAssembly<kReadReplySize> m_assembly;
};

// The answer to a write or finishing command: what `from` sends, datagrams joined while
// they fit in 5 bytes (a larger one is not taken).
class AcknowledgementGather {
  public:
    static constexpr std::size_t kSize = 5;
    explicit AcknowledgementGather(std::uint32_t from) : m_from(from) {}
    void Take(std::uint32_t sender, const std::uint8_t* data, std::size_t size);
    const std::uint8_t* Bytes() const { return m_bytes.data(); }
    std::size_t Size() const { return m_size; }

  private:
    std::uint32_t m_from;
    std::array<std::uint8_t, kSize> m_bytes{};
    std::size_t m_size = 0;
};

// Success when the reply's bytes match the acknowledgement as far as both go, -1 otherwise,
// no reply for an empty one.
NetResult AcknowledgementResult(const std::uint8_t* reply, std::size_t size,
                                const std::uint8_t* ack, std::size_t ackSize);
