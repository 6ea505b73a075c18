#include "sim/frame_log.h"

#include <nlohmann/json.hpp>

namespace pellacor::sim {

namespace {
constexpr size_t kMaxRecords = 200000;
}

const char* TransportName(Transport t) {
    switch (t) {
        case Transport::Tcp:
            return "tcp";
        case Transport::Udp:
            return "udp";
        case Transport::UsbHid:
            return "usb-hid";
        case Transport::UsbPrinter:
            return "usb-printer";
    }
    return "?";
}

const char* FlagName(Flag f) {
    switch (f) {
        case Flag::None:
            return "";
        case Flag::Incomplete:
            return "incomplete";
        case Flag::MixedBracket:
            return "mixed-bracket";
        case Flag::ProtocolError:
            return "protocol-error";
        case Flag::UnknownCommand:
            return "unknown-command";
        case Flag::Dropped:
            return "dropped";
    }
    return "?";
}

FrameLog::~FrameLog() {
    if (m_file != nullptr) {
        std::fclose(m_file);
    }
}

bool FrameLog::OpenFile(const std::string& path) {
    std::lock_guard lock(m_mutex);
    if (m_file != nullptr) {
        std::fclose(m_file);
    }
    m_file = std::fopen(path.c_str(), "a");
    return m_file != nullptr;
}

void FrameLog::Add(int laminator, Transport transport, Direction direction, const uint8_t* data,
                   size_t size, Flag flag, std::string note) {
    FrameRecord r;
    r.time = std::chrono::system_clock::now();
    r.laminator = laminator;
    r.transport = transport;
    r.direction = direction;
    if (data != nullptr) {
        r.bytes.assign(data, data + size);
    }
    r.flag = flag;
    r.note = std::move(note);
    std::lock_guard lock(m_mutex);
    r.sequence = m_next++;
    Count(r);
    if (m_file != nullptr) {
        std::string line = ToJson(r);
        line.push_back('\n');
        std::fwrite(line.data(), 1, line.size(), m_file);
        std::fflush(m_file);
    }
    m_records.push_back(std::move(r));
    if (m_records.size() > kMaxRecords) {
        // A long run keeps the newest half; the counters and the file keep everything.
        m_records.erase(m_records.begin(),
                        m_records.begin() + static_cast<std::ptrdiff_t>(kMaxRecords / 2));
    }
}

void FrameLog::Flagged(int laminator, Transport transport, Flag flag, std::string note,
                       const uint8_t* data, size_t size) {
    Add(laminator, transport, Direction::Received, data, size, flag, std::move(note));
}

void FrameLog::Count(const FrameRecord& r) {
    // A flag entry without bytes is no frame, and a dropped reply never left.
    if (!r.bytes.empty() && r.flag != Flag::Dropped) {
        ++(r.direction == Direction::Received ? m_counters.received : m_counters.sent);
    }
    switch (r.flag) {
        case Flag::None:
            break;
        case Flag::Incomplete:
            ++m_counters.incomplete;
            break;
        case Flag::MixedBracket:
            ++m_counters.mixedBracket;
            break;
        case Flag::ProtocolError:
            ++m_counters.protocolErrors;
            break;
        case Flag::UnknownCommand:
            ++m_counters.unknownCommands;
            break;
        case Flag::Dropped:
            ++m_counters.dropped;
            break;
    }
}

std::vector<FrameRecord> FrameLog::Records() const {
    std::lock_guard lock(m_mutex);
    return m_records;
}

Counters FrameLog::GetCounters() const {
    std::lock_guard lock(m_mutex);
    return m_counters;
}

void FrameLog::Clear() {
    std::lock_guard lock(m_mutex);
    m_records.clear();
    m_counters = {};
}

std::string FrameLog::ToJson(const FrameRecord& r) {
    static const char* kHex = "0123456789abcdef";
    std::string hex;
    hex.reserve(r.bytes.size() * 2);
    for (uint8_t b : r.bytes) {
        hex.push_back(kHex[b >> 4]);
        hex.push_back(kHex[b & 15]);
    }
    auto micros =
        std::chrono::duration_cast<std::chrono::microseconds>(r.time.time_since_epoch()).count();
    nlohmann::json j = {
        {"seq", r.sequence},
        {"time_us", micros},
        {"laminator", r.laminator},
        {"transport", TransportName(r.transport)},
        {"dir", r.direction == Direction::Received ? "rx" : "tx"},
        {"bytes", hex},
    };
    if (r.flag != Flag::None) {
        j["flag"] = FlagName(r.flag);
    }
    if (!r.note.empty()) {
        j["note"] = r.note;
    }
    // Replace, not throw, on bytes that are not UTF-8 in a note.
    return j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace pellacor::sim
