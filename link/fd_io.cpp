#include "link/fd_io.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace {

using Clock = std::chrono::steady_clock;

int RemainingMs(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

}  // namespace

int WaitFd(int fd, short events, std::chrono::milliseconds timeout) {
    const Clock::time_point deadline = Clock::now() + timeout;
    for (;;) {
        pollfd entry{fd, events, 0};
        const int ready = poll(&entry, 1, RemainingMs(deadline));
        if (ready > 0) {
            // An error or hang-up is reported as ready: the next call tells which.
            return 1;
        }
        if (ready == 0) {
            return 0;
        }
        if (errno != EINTR) {
            return -1;
        }
    }
}

int WriteWithin(int fd, FdKind kind, const std::uint8_t* data, std::size_t length,
                std::chrono::milliseconds timeout) {
    const Clock::time_point deadline = Clock::now() + timeout;
    std::size_t done = 0;
    while (done < length) {
        // Try first: the device is almost always ready, and a poll per frame costs.
        const ssize_t sent = kind == FdKind::Socket
                                 ? send(fd, data + done, length - done, MSG_NOSIGNAL | MSG_DONTWAIT)
                                 : write(fd, data + done, length - done);
        if (sent > 0) {
            done += static_cast<std::size_t>(sent);
            continue;
        }
        if (sent == 0 || (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK)) {
            return -1;
        }
        if (errno != EINTR &&
            WaitFd(fd, POLLOUT, std::chrono::milliseconds(RemainingMs(deadline))) <= 0) {
            return -1;
        }
    }
    return static_cast<int>(done);
}

int ReadWithin(int fd, FdKind kind, std::uint8_t* data, std::size_t capacity,
               std::chrono::milliseconds timeout) {
    const Clock::time_point deadline = Clock::now() + timeout;
    for (;;) {
        const int ready = WaitFd(fd, POLLIN, std::chrono::milliseconds(RemainingMs(deadline)));
        if (ready < 0) {
            return -1;
        }
        if (ready == 0) {
            return 0;
        }
        const ssize_t got = kind == FdKind::Socket ? recv(fd, data, capacity, MSG_DONTWAIT)
                                                   : read(fd, data, capacity);
        if (got < 0) {
            if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) {
                if (RemainingMs(deadline) == 0) {
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
    // Bounded: a device that keeps talking must not hold up the request. No poll first: a
    // non-blocking read that finds nothing costs the same one system call.
    for (int i = 0; i < 256; ++i) {
        const ssize_t got = kind == FdKind::Socket ? recv(fd, scratch, sizeof scratch, MSG_DONTWAIT)
                                                   : read(fd, scratch, sizeof scratch);
        if (got <= 0) {
            return;
        }
        TraceDiscarded(link, scratch, static_cast<std::size_t>(got));
    }
}
