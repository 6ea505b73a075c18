#include "link/frame_trace.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <mutex>

#include "platform/files.h"
#include "platform/process.h"

namespace frame_trace_detail {
std::atomic<bool> g_on{false};
}

namespace {
using Clock = std::chrono::steady_clock;

// Lines gather here and go out with one write(2), so the crash handler can write them with
// nothing but async-signal-safe calls.
constexpr std::size_t kBufferSize = 64 * 1024;
constexpr auto kFlushInterval = std::chrono::milliseconds(100);

struct TraceWriter {
    std::mutex mutex;
    std::array<char, kBufferSize> buffer{};
    std::atomic<std::size_t> used{0};
    std::atomic<int> fd{-1};
    bool ownsFd = false;
    bool immediate = false;  // standard error: shown as it happens
    Clock::time_point start = Clock::now();
    Clock::time_point lastFlush = Clock::now();
    std::string target;
};

TraceWriter& Writer() {
    static TraceWriter* writer = new TraceWriter;  // never destroyed: used up to quick_exit
    return *writer;
}

// A fixed buffer: MinGW ran the exit destructors of thread_local objects on storage it had
// already freed. Notes are a few words.
constexpr std::size_t kNoteSize = 96;
thread_local char t_nextNote[kNoteSize] = {};

std::string TakeNextNote() {
    std::string note(t_nextNote);
    t_nextNote[0] = '\0';
    return note;
}

// Caller holds the mutex.
void FlushLocked(TraceWriter& w) {
    const int fd = w.fd.load();
    const std::size_t used = w.used.load();
    if (fd >= 0 && used > 0)
        platform::WriteFileAll(fd, w.buffer.data(), used);
    w.used = 0;
    w.lastFlush = Clock::now();
}

// Writes what is buffered, with nothing but async-signal-safe calls.
void FlushOnCrash() {
    TraceWriter& w = Writer();
    const int fd = w.fd.load();
    const std::size_t used = std::min(w.used.load(), kBufferSize);
    if (fd >= 0 && used > 0)
        platform::WriteFileAll(fd, w.buffer.data(), used);
}

void FlushAtExit() {
    FlushFrameTrace();
}

const char* LinkName(TraceLink link) {
    switch (link) {
        case TraceLink::Hid:
            return "hid";
        case TraceLink::Printer:
            return "usblp";
        case TraceLink::Tcp:
            return "tcp";
        case TraceLink::Udp:
            return "udp";
    }
    return "?";
}

bool StartsWith(const std::uint8_t* data, std::size_t size,
                std::initializer_list<std::uint8_t> prefix) {
    return size >= prefix.size() && std::equal(prefix.begin(), prefix.end(), data);
}

std::string Hex2(std::uint8_t b) {
    char text[3];
    std::snprintf(text, sizeof text, "%02X", b);
    return text;
}

std::string CommandNote(const std::uint8_t* c, std::size_t n) {
    static constexpr std::uint8_t kModeBytes[] = {0x1D, 0x1A, 0x1B, 0x1C, 0x1D,
                                                  0x4D, 0x4F, 0x44, 0x45};
    constexpr std::size_t kModeSize = sizeof kModeBytes;
    if (n > kModeSize && std::equal(kModeBytes, kModeBytes + kModeSize, c)) {
        const std::uint8_t which = c[kModeSize];
        if (which == 0x01) {
            if (n >= 13 && c[10] == 0x1D && c[11] == 0x02 && c[12] == 0x40)
                return "MODE open, reset";
            return n > 10 && c[10] != 0 ? "MODE open + item" : "MODE open";
        }
        if (which == 0x02)
            return "MODE close";
    }
    if (StartsWith(c, n, {0x1C, 0x41, 0x50, 0x01}))
        return "status";
    if (StartsWith(c, n, {0x1B, 0x65}))
        return "card channel";
    if (StartsWith(c, n, {0x1D, 0x52, 0x09}))
        return "information";
    if (StartsWith(c, n, {0x1C, 0x72, 0x81}))
        return "model id";
    if (n >= 4 && c[0] == 0x1C && c[1] == 0x72)
        return "read page " + Hex2(c[2]) + " " + Hex2(c[3]);
    if (n >= 4 && c[0] == 0x1C && c[1] == 0x77)
        return "write page " + Hex2(c[2]) + " " + Hex2(c[3]);
    if (StartsWith(c, n, {0x1D, 0x03, 0x03}))
        return "model name read";
    if (StartsWith(c, n, {0x1D, 0x02, 0x02}))
        return "model name write";
    return {};
}

std::string DiscoveryNote(const std::uint8_t* d, std::size_t n, TraceDirection direction) {
    if (n < 3 || d[0] != 0xFF)
        return {};
    const bool sent = direction == TraceDirection::Sent;
    switch (d[2]) {
        case 0x01:
            return sent ? "search" : "search reply";
        case 0x03:
            return sent ? "read settings" : "settings";
        case 0x04:
            return sent ? "finish" : "finish ack";
        case 0x05:
            return sent ? "write settings" : "write ack";
        default:
            return {};
    }
}
}  // namespace

std::string FrameNote(TraceLink link, TraceDirection direction, const std::uint8_t* data,
                      std::size_t size) {
    if (link == TraceLink::Udp)
        return DiscoveryNote(data, size, direction);
    if (direction != TraceDirection::Sent)
        return {};
    if (link == TraceLink::Hid && size >= 2 && data[0] == 0xA5) {
        const std::size_t length = std::min<std::size_t>(data[1], size - 2);
        return CommandNote(data + 2, length);
    }
    return CommandNote(data, size);
}

std::string FormatTraceLine(std::uint64_t micros, TraceLink link, TraceDirection direction,
                            const std::uint8_t* data, std::size_t size, std::string_view note,
                            std::string_view target) {
    std::string line;
    line.reserve(40 + size * 3 + note.size() + target.size());
    char head[64];
    std::snprintf(head, sizeof head, "%12llu ", static_cast<unsigned long long>(micros));
    line += head;
    if (!target.empty()) {
        line += target;
        line += ' ';
    }
    std::snprintf(head, sizeof head, "%-5s %s %4zu ", LinkName(link),
                  direction == TraceDirection::Sent ? ">" : "<", size);
    line += head;
    static constexpr char kDigits[] = "0123456789ABCDEF";
    for (std::size_t i = 0; i < size; ++i) {
        if (i > 0)
            line += ' ';
        line += kDigits[data[i] >> 4];
        line += kDigits[data[i] & 15];
    }
    if (!note.empty()) {
        line += "  # ";
        line += note;
    }
    return line;
}

void SetNextFrameNote(std::string_view note) {
    const std::size_t n = std::min(note.size(), kNoteSize - 1);
    note.copy(t_nextNote, n);
    t_nextNote[n] = '\0';
}

namespace frame_trace_detail {
void Write(TraceLink link, TraceDirection direction, const std::uint8_t* data, std::size_t size,
           std::string_view extraNote) {
    std::string note = FrameNote(link, direction, data, size);
    if (!extraNote.empty())
        note = note.empty() ? std::string(extraNote) : std::string(extraNote) + ", " + note;
    if (direction == TraceDirection::Sent && t_nextNote[0] != '\0') {
        const std::string next = TakeNextNote();
        note = note.empty() ? next : next + ", " + note;
    }
    TraceWriter& w = Writer();
    std::lock_guard lock(w.mutex);
    if (!g_on.load(std::memory_order_relaxed))
        return;
    const auto micros =
        std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - w.start).count();
    std::string line = FormatTraceLine(static_cast<std::uint64_t>(micros), link, direction, data,
                                       size, note, w.target);
    line += '\n';
    const char* text = line.data();
    std::size_t left = line.size();
    while (left > 0) {
        std::size_t used = w.used.load();
        if (used == kBufferSize) {
            FlushLocked(w);
            used = 0;
        }
        const std::size_t take = std::min(left, kBufferSize - used);
        std::memcpy(w.buffer.data() + used, text, take);
        w.used = used + take;  // published after the copy, for the crash handler
        text += take;
        left -= take;
    }
    if (w.immediate || Clock::now() - w.lastFlush >= kFlushInterval)
        FlushLocked(w);
}
}  // namespace frame_trace_detail

bool EnableFrameTrace(const std::string& path, std::string& error) {
    DisableFrameTrace();
    int fd = platform::kStandardError;
    if (path != "-") {
        fd = platform::OpenTruncated(path);
        if (fd < 0) {
            error = "cannot write the trace to " + path + ": " + platform::LastFileErrorText();
            return false;
        }
    }
    TraceWriter& w = Writer();
    {
        std::lock_guard lock(w.mutex);
        w.fd = fd;
        w.ownsFd = fd != platform::kStandardError;
        w.immediate = fd == platform::kStandardError;
        w.used = 0;
        w.start = Clock::now();
        w.lastFlush = w.start;
        frame_trace_detail::g_on = true;
    }
    static std::once_flag installed;
    std::call_once(installed, [] {
        platform::OnCrash(FlushOnCrash);
        std::atexit(FlushAtExit);
        platform::AtQuickExit(FlushAtExit);
    });
    return true;
}

void SetFrameTraceTarget(std::string_view target) {
    TraceWriter& w = Writer();
    std::lock_guard lock(w.mutex);
    w.target = target;
}

void DisableFrameTrace() {
    TraceWriter& w = Writer();
    std::lock_guard lock(w.mutex);
    frame_trace_detail::g_on = false;
    FlushLocked(w);
    if (w.ownsFd && w.fd >= 0)
        platform::CloseFile(w.fd);
    w.fd = -1;
    w.ownsFd = false;
}

void FlushFrameTrace() {
    TraceWriter& w = Writer();
    std::lock_guard lock(w.mutex);
    FlushLocked(w);
}
