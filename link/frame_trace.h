#pragma once
// The frame trace: every frame sent or received on any link, one line each, for showing a
// technician exactly what went over the wire. Off by default; when off, a traced call costs
// one relaxed atomic load.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

enum class TraceLink { Hid, Printer, Tcp, Udp };
enum class TraceDirection { Sent, Received };

namespace frame_trace_detail {
extern std::atomic<bool> g_on;
void Write(TraceLink link, TraceDirection direction, const std::uint8_t* data, std::size_t size,
           std::string_view extraNote = {});
}  // namespace frame_trace_detail

inline bool FrameTraceOn() {
    return frame_trace_detail::g_on.load(std::memory_order_relaxed);
}

inline void TraceFrame(TraceLink link, TraceDirection direction, const std::uint8_t* data,
                       std::size_t size) {
    if (FrameTraceOn())
        frame_trace_detail::Write(link, direction, data, size);
}

// Bytes received and thrown away unread before a request: a reply, or its rest, that came
// after its time-out. Traced so a field trace shows every byte the laminator sent.
// A reply that names another request is discarded with its own `why`.
inline void TraceDiscarded(TraceLink link, const std::uint8_t* data, std::size_t size,
                           std::string_view why = "late, discarded") {
    if (FrameTraceOn())
        frame_trace_detail::Write(link, TraceDirection::Received, data, size, why);
}

// Starts tracing into `path` ("-" for standard error), replacing any earlier trace. Installs
// handlers that flush the trace on a crash signal. False, with the reason in `error`, when
// the file cannot be opened.
bool EnableFrameTrace(const std::string& path, std::string& error);
// Flushes and closes the trace; later frames are not traced.
void DisableFrameTrace();
// Writes out what is buffered (also done at exit).
void FlushFrameTrace();

// A note for the next frame this thread sends, for what only the sender knows (a firmware
// frame's number). Callers check FrameTraceOn() first so the text costs nothing when off.
void SetNextFrameNote(std::string_view note);

// The note a sent frame gets from its bytes: status, read page, MODE bracket, ...; empty
// for a command without one. USB HID frames start with A5 and the length.
std::string FrameNote(TraceLink link, TraceDirection direction, const std::uint8_t* data,
                      std::size_t size);
// One trace line without its newline: microseconds, the target when one is named, link,
// direction, count, bytes, note.
std::string FormatTraceLine(std::uint64_t micros, TraceLink link, TraceDirection direction,
                            const std::uint8_t* data, std::size_t size, std::string_view note,
                            std::string_view target = {});
// Names the laminator the following lines belong to (empty: none), for a trace that holds the
// exchanges with several.
void SetFrameTraceTarget(std::string_view target);
