#pragma once

// Cuts the TCP byte stream into requests. TCP keeps no message boundaries, so each
// request's length is told from its first bytes:
//   - A5 ...                         a framed request (mode switch, firmware): 64 bytes
//   - 1C 41 50 01                    the status query: 8 bytes
//   - MODE opening + 1D 02 40        the reset: 23 bytes (opening, reset, closing)
//   - anything else                  a 64-byte command block
// Zero bytes between requests are padding (a status query or reset sent as a zero-filled
// 64-byte block) and are skipped. A request still incomplete when the link goes idle is
// handed out by TakePartial so the caller can flag it.

#include <cstdint>
#include <optional>
#include <vector>

namespace pellacor::sim {

class TcpRequestParser {
  public:
    void Feed(const uint8_t* data, size_t size);
    // The next whole request, or nothing while more bytes are needed.
    std::optional<std::vector<uint8_t>> Next();
    size_t Pending() const { return m_buffer.size() - m_start; }
    // Gives up on the bytes of an incomplete request.
    std::vector<uint8_t> TakePartial();
    uint64_t SkippedPadding() const { return m_skipped; }

  private:
    // Length of the request at the front, 0 while its first bytes do not tell yet.
    size_t RequestLength() const;

    std::vector<uint8_t> m_buffer;
    size_t m_start = 0;
    uint64_t m_skipped = 0;
};

}  // namespace pellacor::sim
