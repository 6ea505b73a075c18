#include "link/fd_io.h"

#include "platform/files.h"

namespace {

using Clock = std::chrono::steady_clock;

std::chrono::milliseconds Remaining(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? left : std::chrono::milliseconds(0);
}

// One attempt that does not wait; -1 with `retry` set when it may succeed later.
long WriteOnce(int fd, FdKind kind, const std::uint8_t* data, std::size_t length, bool& retry) {
    if (kind == FdKind::Socket) {
        const long sent = platform::Send(fd, data, length, platform::Blocking::NoWait);
        const platform::SocketError error = platform::LastSocketError();
        retry = sent < 0 && (error == platform::SocketError::TimedOut ||
                             error == platform::SocketError::Interrupted);
        return sent;
    }
    const long written = platform::WriteFileSome(fd, data, length);
    retry = written < 0 && platform::LastFileErrorWasRetry();
    return written;
}

long ReadOnce(int fd, FdKind kind, std::uint8_t* data, std::size_t capacity, bool& retry) {
    if (kind == FdKind::Socket) {
        const long got = platform::Receive(fd, data, capacity, platform::Blocking::NoWait);
        const platform::SocketError error = platform::LastSocketError();
        retry = got < 0 && (error == platform::SocketError::TimedOut ||
                            error == platform::SocketError::Interrupted);
        return got;
    }
    const long got = platform::ReadFile(fd, data, capacity);
    retry = got < 0 && platform::LastFileErrorWasRetry();
    return got;
}

}  // namespace

int WaitFd(int fd, FdKind kind, unsigned wanted, std::chrono::milliseconds timeout) {
    return kind == FdKind::Socket ? platform::WaitSocket(fd, wanted, timeout)
                                  : platform::WaitDevice(fd, wanted, timeout);
}

int WriteWithin(int fd, FdKind kind, const std::uint8_t* data, std::size_t length,
                std::chrono::milliseconds timeout) {
    const Clock::time_point deadline = Clock::now() + timeout;
    std::size_t done = 0;
    while (done < length) {
        // Try first: the device is almost always ready, and a wait per frame costs.
        bool retry = false;
        const long sent = WriteOnce(fd, kind, data + done, length - done, retry);
        if (sent > 0) {
            done += static_cast<std::size_t>(sent);
            continue;
        }
        if (!retry || WaitFd(fd, kind, platform::kWritable, Remaining(deadline)) <= 0) {
            return -1;
        }
    }
    return static_cast<int>(done);
}

int ReadWithin(int fd, FdKind kind, std::uint8_t* data, std::size_t capacity,
               std::chrono::milliseconds timeout) {
    const Clock::time_point deadline = Clock::now() + timeout;
    for (;;) {
        const int ready = WaitFd(fd, kind, platform::kReadable, Remaining(deadline));
        if (ready < 0) {
            return -1;
        }
        if (ready == 0) {
            return 0;
        }
        bool retry = false;
        const long got = ReadOnce(fd, kind, data, capacity, retry);
        if (got < 0) {
            if (retry) {
                if (Remaining(deadline).count() == 0) {
                    return 0;
                }
                continue;
            }
            return -1;
        }
        if (got == 0) {
            return kind == FdKind::Socket ? -1 : 0;
        }
        return static_cast<int>(got);
    }
}

void DrainFd(int fd, FdKind kind, TraceLink link) {
    std::uint8_t scratch[1024];
    // Bounded: a device that keeps talking must not hold up the request. No wait first: a
    // non-blocking read that finds nothing costs the same one system call.
    for (int i = 0; i < 256; ++i) {
        bool retry = false;
        const long got = ReadOnce(fd, kind, scratch, sizeof scratch, retry);
        if (got <= 0) {
            return;
        }
        TraceDiscarded(link, scratch, static_cast<std::size_t>(got));
    }
}
