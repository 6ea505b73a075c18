// The simulator's virtual laminators: one SOCK_SEQPACKET socket each, one message per frame.
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "link/fd_io.h"
#include "link/usb_backend.h"

namespace {

class SimulatedDevice : public UsbDevice {
  public:
    explicit SimulatedDevice(int fd) : m_fd(fd) {}
    ~SimulatedDevice() override { close(m_fd); }

    int Write(const std::uint8_t* data, std::size_t length,
              std::chrono::milliseconds timeout) override {
        return WriteWithin(m_fd, FdKind::Socket, data, length, timeout);
    }
    // A blocking receive under SO_RCVTIMEO is one system call where poll and receive are two;
    // the time-out is set again only when a caller asks for another.
    int Read(std::uint8_t* data, std::size_t capacity, std::chrono::milliseconds timeout) override {
        if (timeout.count() <= 0) {
            return ReadWithin(m_fd, FdKind::Socket, data, capacity, timeout);
        }
        if (timeout != m_receiveTimeout) {
            timeval limit{};
            limit.tv_sec = static_cast<time_t>(timeout.count() / 1000);
            limit.tv_usec = static_cast<suseconds_t>((timeout.count() % 1000) * 1000);
            if (setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit) != 0) {
                return ReadWithin(m_fd, FdKind::Socket, data, capacity, timeout);
            }
            m_receiveTimeout = timeout;
        }
        for (;;) {
            const ssize_t got = recv(m_fd, data, capacity, 0);
            if (got > 0) {
                return static_cast<int>(got);
            }
            if (got == 0) {
                return -1;  // the simulator closed the device
            }
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                return 0;
            }
            if (errno != EINTR) {
                return -1;
            }
        }
    }
    void DrainStale(TraceLink link) override { DrainFd(m_fd, FdKind::Socket, link); }

  private:
    int m_fd;
    std::chrono::milliseconds m_receiveTimeout{0};
};

class SimulatedBackend : public UsbBackend {
  public:
    SimulatedBackend(std::string socketPath, UsbClass cls)
        : m_socketPath(std::move(socketPath)),
          m_class(cls),
          m_name(cls == UsbClass::Hid ? InterfaceName("sim", 0x5314, 0x0001, m_socketPath)
                                      : InterfaceName("simlp", 0x5314, 0x0002, m_socketPath)) {}

    // Listed while the socket file exists: the simulator removes it to unplug.
    std::optional<std::vector<std::string>> Enumerate(UsbClass cls) override {
        struct stat info {};
        if (cls != m_class || stat(m_socketPath.c_str(), &info) != 0 || !S_ISSOCK(info.st_mode)) {
            return std::vector<std::string>{};
        }
        return std::vector<std::string>{m_name};
    }

    std::unique_ptr<UsbDevice> Open(const std::string& path, std::error_code& why) override {
        why.clear();
        sockaddr_un address{};
        if (path != m_name) {
            return nullptr;
        }
        if (m_socketPath.size() >= sizeof address.sun_path) {
            why = std::make_error_code(std::errc::filename_too_long);
            return nullptr;
        }
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, m_socketPath.c_str(), m_socketPath.size() + 1);
        const int fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            why = std::error_code(errno, std::generic_category());
            return nullptr;
        }
        if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            why = std::error_code(errno, std::generic_category());
            close(fd);
            return nullptr;
        }
        return std::make_unique<SimulatedDevice>(fd);
    }

  private:
    std::string m_socketPath;
    UsbClass m_class;
    std::string m_name;
};

}  // namespace

std::shared_ptr<UsbBackend> MakeSimulatedUsbBackend(const std::string& socketPath, UsbClass cls) {
    return std::make_shared<SimulatedBackend>(socketPath, cls);
}
