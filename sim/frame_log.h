#pragma once

// Record of every frame the simulator received or sent, with the checks it made.
// Tests read it in process; `--log FILE` writes the same records as JSON lines.

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

namespace pellacor::sim {

enum class Transport { Tcp, Udp, UsbHid, UsbPrinter };
const char* TransportName(Transport t);

enum class Direction { Received, Sent };

// Why a frame was flagged; None for ordinary traffic.
enum class Flag { None, Incomplete, MixedBracket, ProtocolError, UnknownCommand, Dropped };
const char* FlagName(Flag f);

struct FrameRecord {
    uint64_t sequence = 0;
    std::chrono::system_clock::time_point time;
    int laminator = 0;
    Transport transport = Transport::Tcp;
    Direction direction = Direction::Received;
    std::vector<uint8_t> bytes;
    Flag flag = Flag::None;
    std::string note;
};

struct Counters {
    uint64_t received = 0;
    uint64_t sent = 0;
    uint64_t incomplete = 0;
    uint64_t mixedBracket = 0;
    uint64_t protocolErrors = 0;
    uint64_t unknownCommands = 0;
    uint64_t dropped = 0;
};

class FrameLog {
  public:
    FrameLog() = default;
    ~FrameLog();
    FrameLog(const FrameLog&) = delete;
    FrameLog& operator=(const FrameLog&) = delete;

    // Also append every record to this file as one JSON object per line.
    bool OpenFile(const std::string& path);

    void Add(int laminator, Transport transport, Direction direction, const uint8_t* data,
             size_t size, Flag flag = Flag::None, std::string note = {});
    // A check that concerns no particular frame bytes (for example a write with bad tags
    // is logged with its frame; an idle connection with leftovers is logged here).
    void Flagged(int laminator, Transport transport, Flag flag, std::string note,
                 const uint8_t* data = nullptr, size_t size = 0);

    std::vector<FrameRecord> Records() const;
    Counters GetCounters() const;
    void Clear();

    static std::string ToJson(const FrameRecord& r);

  private:
    void Count(const FrameRecord& r);

    mutable std::mutex m_mutex;
    std::vector<FrameRecord> m_records;
    Counters m_counters;
    uint64_t m_next = 1;
    std::FILE* m_file = nullptr;
};

}  // namespace pellacor::sim
