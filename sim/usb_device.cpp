#include "sim/usb_device.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <vector>

namespace pellacor::sim {

namespace {
constexpr size_t kFrame = 64;
constexpr size_t kFrameData = 62;
constexpr size_t kPing = 8;
// Zero bytes that end every framed command the tool sends on the printing-class path.
constexpr size_t kFramedCommandTail = 16;
constexpr size_t kMaxClients = 8;
}  // namespace

bool UsbDevice::Plug(const std::string& path, std::string* error) {
    if (Plugged()) {
        return true;
    }
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof addr.sun_path) {
        *error = "USB socket path empty or too long: " + path;
        return false;
    }
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    Fd fd(::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0));
    if (!fd.Valid()) {
        *error = std::string("socket: ") + std::strerror(errno);
        return false;
    }
    ::unlink(path.c_str());
    if (::bind(fd.Get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(fd.Get(), 4) != 0) {
        *error = "cannot create USB socket " + path + ": " + std::strerror(errno);
        return false;
    }
    m_listen = std::move(fd);
    m_path = path;
    m_stop.Clear();
    m_thread = std::thread([this] { Run(); });
    return true;
}

void UsbDevice::Unplug() {
    if (m_thread.joinable()) {
        m_stop.Raise();
        m_thread.join();
        m_listen.Reset();
        ::unlink(m_path.c_str());
        // Every link through the device goes with it.
        for (const auto& [fd, link] : m_links) {
            m_unit.engine.LinkClosed(link);
        }
        m_links.clear();
    }
}

LaminatorEngine::LinkId UsbDevice::LinkOf(int client) const {
    const auto found = m_links.find(client);
    return found == m_links.end() ? 0 : found->second;
}

void UsbDevice::Run() {
    std::vector<Fd> clients;
    uint8_t msg[1024];
    for (;;) {
        std::vector<pollfd> fds;
        fds.push_back({m_stop.Fd(), POLLIN, 0});
        fds.push_back({m_listen.Get(), POLLIN, 0});
        for (const Fd& c : clients) {
            fds.push_back({c.Get(), POLLIN, 0});
        }
        if (::poll(fds.data(), fds.size(), -1) < 0 && errno != EINTR) {
            return;
        }
        if (fds[0].revents != 0) {
            return;  // clients close with the vector: the device is gone
        }
        if ((fds[1].revents & POLLIN) != 0) {
            Fd c(::accept4(m_listen.Get(), nullptr, nullptr, SOCK_CLOEXEC));
            if (c.Valid() && clients.size() < kMaxClients) {
                m_links[c.Get()] = LaminatorEngine::NewLinkId();
                clients.push_back(std::move(c));
            }
        }
        for (size_t i = 2; i < fds.size(); ++i) {
            if (fds[i].revents == 0) {
                continue;
            }
            int fd = fds[i].fd;
            ssize_t n = ::recv(fd, msg, sizeof msg, 0);
            bool keep = n > 0;
            if (keep) {
                size_t size = static_cast<size_t>(n);
                keep = m_kind == Transport::UsbHid ? HandleHid(fd, msg, size)
                                                   : HandlePrinter(fd, msg, size);
            }
            if (!keep) {
                m_unit.engine.LinkClosed(LinkOf(fd));
                if (m_firmwareClient == fd) {
                    m_firmwareClient = -1;
                }
                m_links.erase(fd);
                std::erase_if(clients, [fd](const Fd& c) { return c.Get() == fd; });
            }
        }
    }
}

bool UsbDevice::HandleHid(int client, const uint8_t* msg, size_t size) {
    if (size < kFrame || msg[0] != 0xA5) {
        m_unit.log.Add(
            m_unit.Index(), m_kind, Direction::Received, msg, size,
            size < kFrame ? Flag::Incomplete : Flag::ProtocolError,
            size < kFrame ? "HID message shorter than 64 bytes" : "HID frame without A5");
        return true;
    }
    LaminatorEngine::Outcome o = m_unit.engine.HandleFrame(msg, kFrame, m_kind, LinkOf(client));
    if (o.note.rfind("firmware", 0) == 0) {
        m_firmwareClient = client;
    }
    std::string note = o.note;
    Flag flag = o.flag;
    if (size > kFrame) {
        flag = Flag::ProtocolError;
        note += " (message longer than 64 bytes, rest ignored)";
    }
    m_unit.log.Add(m_unit.Index(), m_kind, Direction::Received, msg, size, flag, note);
    return Reply(client, o, true);
}

bool UsbDevice::HandlePrinter(int client, const uint8_t* msg, size_t size) {
    LaminatorEngine::Outcome o;
    bool framed = false;
    bool commandStart = msg[0] == 0x1B || msg[0] == 0x1C || msg[0] == 0x1D;
    // Once a transfer began, every 64-byte block of that client is firmware, whatever its
    // bytes; a framed command (the reset) is a short command in a full A5 3E frame, zeros
    // after it.
    bool inTransfer = m_firmwareClient == client;
    // An 8-byte command cannot be a firmware block: the transfer before it has ended.
    if (inTransfer && size == kPing && commandStart) {
        m_unit.engine.LinkClosed(LinkOf(client));
        m_firmwareClient = -1;
        inTransfer = false;
    }
    const bool framedCommand = size == kFrame && msg[0] == 0xA5 && msg[1] == 0x3E &&
                               (msg[2] == 0x1B || msg[2] == 0x1C || msg[2] == 0x1D) &&
                               std::all_of(msg + kFrame - kFramedCommandTail, msg + kFrame,
                                           [](uint8_t b) { return b == 0; });
    if (!inTransfer && framedCommand) {
        // The reset goes out framed on this path too.
        framed = true;
        o = m_unit.engine.HandleFrame(msg, size, m_kind, LinkOf(client));
    } else if (size == kPing && commandStart) {
        o = m_unit.engine.HandleBlock(msg, size, LinkOf(client));
    } else if (size == kFrame) {
        m_unit.engine.PrinterFirmwareBlock(msg, size, LinkOf(client));
        m_firmwareClient = client;
        o.note = "firmware block";
    } else {
        o.flag = Flag::Incomplete;
        o.note = "printing-class message neither an 8-byte command nor a 64-byte block";
    }
    m_unit.log.Add(m_unit.Index(), m_kind, Direction::Received, msg, size, o.flag, o.note);
    return Reply(client, o, framed);
}

bool UsbDevice::Reply(int client, const LaminatorEngine::Outcome& o, bool framed) {
    FaultDecision d = m_unit.NextRequest(m_kind);
    if (o.hasReply) {
        std::vector<uint8_t> reply = o.reply;
        DropEcho(d, o.echoed, reply);
        std::vector<std::vector<uint8_t>> messages;
        if (framed) {
            // One 64-byte frame per reply frame; only the information reply continues.
            size_t at = 0;
            do {
                size_t len = std::min(reply.size() - at, kFrameData);
                std::vector<uint8_t> f(kFrame, 0);
                f[0] = 0xA5;
                f[1] = static_cast<uint8_t>(len);
                std::copy(reply.begin() + static_cast<std::ptrdiff_t>(at),
                          reply.begin() + static_cast<std::ptrdiff_t>(at + len), f.begin() + 2);
                messages.push_back(std::move(f));
                at += len;
            } while (o.continued && at < reply.size());
        } else {
            messages.push_back(reply);
        }
        for (std::vector<uint8_t>& m : messages) {
            if (d.drop) {
                m_unit.log.Add(m_unit.Index(), m_kind, Direction::Sent, m.data(), m.size(),
                               Flag::Dropped, "reply dropped by fault");
                continue;
            }
            ShapeReply(d, m);
            if (d.delayMs > 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(d.delayMs));
            }
            // Logged before it goes out, so a test that has the reply finds it logged.
            m_unit.log.Add(m_unit.Index(), m_kind, Direction::Sent, m.data(), m.size());
            ssize_t n = ::send(client, m.data(), m.size(), MSG_NOSIGNAL);
            if (n < 0) {
                return false;
            }
        }
    }
    if (d.closeAfterReply) {
        m_unit.log.Flagged(m_unit.Index(), m_kind, Flag::None, "connection closed by fault");
        return false;
    }
    return true;
}

}  // namespace pellacor::sim
