#include "sim/tcp_request_parser.h"

#include <algorithm>
#include <cstring>

namespace pellacor::sim {

namespace {
constexpr uint8_t kStatus[] = {0x1C, 0x41, 0x50, 0x01};
constexpr uint8_t kReset[] = {0x1D, 0x1A, 0x1B, 0x1C, 0x1D, 0x4D, 0x4F,
                              0x44, 0x45, 0x01, 0x1D, 0x02, 0x40};
constexpr size_t kStatusLength = 8;
constexpr size_t kResetLength = 23;
constexpr size_t kBlockLength = 64;
// More than any honest client holds unanswered; a peer beyond it is discarded.
constexpr size_t kMaxBuffered = 64 * 1024;

// True while the `have` bytes agree with the start of `prefix`.
bool AgreesWith(const uint8_t* data, size_t have, const uint8_t* prefix, size_t len) {
    return std::memcmp(data, prefix, std::min(have, len)) == 0;
}
}  // namespace

void TcpRequestParser::Feed(const uint8_t* data, size_t size) {
    if (m_start > 0 && m_start == m_buffer.size()) {
        m_buffer.clear();
        m_start = 0;
    }
    if (Pending() + size > kMaxBuffered) {
        m_buffer.clear();
        m_start = 0;
    }
    m_buffer.insert(m_buffer.end(), data, data + size);
}

size_t TcpRequestParser::RequestLength() const {
    const uint8_t* p = m_buffer.data() + m_start;
    size_t have = Pending();
    if (p[0] == 0xA5) {
        return kBlockLength;
    }
    if (AgreesWith(p, have, kStatus, sizeof kStatus)) {
        return have < sizeof kStatus ? 0 : kStatusLength;
    }
    if (AgreesWith(p, have, kReset, sizeof kReset)) {
        return have < sizeof kReset ? 0 : kResetLength;
    }
    return kBlockLength;
}

std::optional<std::vector<uint8_t>> TcpRequestParser::Next() {
    while (m_start < m_buffer.size() && m_buffer[m_start] == 0) {
        ++m_start;
        ++m_skipped;
    }
    if (Pending() == 0) {
        return std::nullopt;
    }
    size_t length = RequestLength();
    if (length == 0 || Pending() < length) {
        return std::nullopt;
    }
    auto first = m_buffer.begin() + static_cast<std::ptrdiff_t>(m_start);
    std::vector<uint8_t> request(first, first + static_cast<std::ptrdiff_t>(length));
    m_start += length;
    if (m_start > kBlockLength * 16) {
        m_buffer.erase(m_buffer.begin(), m_buffer.begin() + static_cast<std::ptrdiff_t>(m_start));
        m_start = 0;
    }
    return request;
}

std::vector<uint8_t> TcpRequestParser::TakePartial() {
    std::vector<uint8_t> rest(m_buffer.begin() + static_cast<std::ptrdiff_t>(m_start),
                              m_buffer.end());
    m_buffer.clear();
    m_start = 0;
    return rest;
}

}  // namespace pellacor::sim
