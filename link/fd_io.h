#pragma once
// Time-limited reads and writes on a descriptor, shared by the backends whose devices are
// plain descriptors (the printing class, the simulator's sockets).
#include <chrono>
#include <cstddef>
#include <cstdint>

#include "link/frame_trace.h"
#include "platform/sockets.h"

enum class FdKind { Stream, Socket };

// Waits until `fd` is ready for `wanted` (platform::kReadable / kWritable): 1 ready, 0
// time-out, -1 failure.
int WaitFd(int fd, FdKind kind, unsigned wanted, std::chrono::milliseconds timeout);
// Writes all `length` bytes within the time-out; bytes written, -1 on failure or time-out.
int WriteWithin(int fd, FdKind kind, const std::uint8_t* data, std::size_t length,
                std::chrono::milliseconds timeout);
// One read of at most `capacity` bytes: bytes read, 0 when nothing came in time, -1 on
// failure (a socket whose peer has gone counts as failure).
int ReadWithin(int fd, FdKind kind, std::uint8_t* data, std::size_t capacity,
               std::chrono::milliseconds timeout);
// Reads and discards whatever is already waiting, tracing it as received on `link`. A Stream
// descriptor must be non-blocking.
void DrainFd(int fd, FdKind kind, TraceLink link);
