#include "sim/usb_device.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <system_error>
#include <vector>

namespace pellacor::sim {

namespace {
constexpr size_t kFrame = 64;
constexpr size_t kFrameData = 62;
constexpr size_t kPing = 8;
// Zero bytes that end every framed command the tool sends on the printing-class path.
constexpr size_t kFramedCommandTail = 16;
constexpr size_t kMaxClients = 8;
constexpr std::chrono::milliseconds kSendLimit{2000};
}  // namespace

bool UsbDevice::Plug(const std::string& path, std::string* error) {
    if (Plugged()) {
        return true;
    }
    if (path.empty()) {
        *error = "USB device path empty";
        return false;
    }
    uint16_t port = 0;
    UsbSimSocket listener = UsbSimSocket::Listen(port, error);
    if (!listener.Valid()) {
        return false;
    }
    // The file is written once the listener takes connections, so a tool that finds it
    // can connect.
    if (!WriteUsbSimPortFile(path, port, error)) {
        return false;
    }
    m_listen = std::move(listener);
    m_port = port;
    m_path = path;
    m_stop = false;
    m_thread = std::thread([this] { Run(); });
    return true;
}

void UsbDevice::Unplug() {
    if (m_thread.joinable()) {
        // The file goes first: a tool that looks from now on finds no device.
        std::error_code ignored;
        std::filesystem::remove(m_path, ignored);
        m_stop = true;
        std::error_code why;
        UsbSimSocket wake = UsbSimSocket::Connect(m_port, why);
        m_thread.join();
        m_listen = UsbSimSocket();
        // Every link through the device goes with it.
        for (const auto& [client, link] : m_links) {
            m_unit.engine.LinkClosed(link);
        }
        m_links.clear();
        m_firmwareClient = nullptr;
    }
}

LaminatorEngine::LinkId UsbDevice::LinkOf(const UsbSimSocket& client) const {
    const auto found = m_links.find(&client);
    return found == m_links.end() ? 0 : found->second;
}

void UsbDevice::Run() {
    std::vector<std::unique_ptr<UsbSimSocket>> clients;
    std::vector<bool> ready;
    // Should the wake-up connection fail, the wait still ends now and then to look.
    const std::chrono::milliseconds lookAgain{250};
    while (!m_stop) {
        std::vector<const UsbSimSocket*> sockets{&m_listen};
        for (const auto& c : clients) {
            sockets.push_back(c.get());
        }
        if (!WaitUsbSimReadable(sockets, ready, lookAgain)) {
            return;
        }
        if (m_stop) {
            return;  // clients close with the vector: the device is gone
        }
        if (ready[0]) {
            auto c = std::make_unique<UsbSimSocket>(m_listen.Accept());
            if (c->Valid() && clients.size() < kMaxClients) {
                m_links[c.get()] = LaminatorEngine::NewLinkId();
                clients.push_back(std::move(c));
            }
        }
        for (size_t i = 1; i < sockets.size(); ++i) {
            if (!ready[i]) {
                continue;
            }
            UsbSimSocket& client = *clients[i - 1];
            bool keep = client.ReadArrived();
            while (keep) {
                std::optional<std::vector<uint8_t>> msg = client.TakeMessage();
                if (!msg) {
                    keep = !client.Refused();  // a refused length leaves the stream out of step
                    break;
                }
                keep = m_kind == Transport::UsbHid
                           ? HandleHid(client, msg->data(), msg->size())
                           : HandlePrinter(client, msg->data(), msg->size());
            }
            if (client.Refused()) {
                m_unit.log.Flagged(m_unit.Index(), m_kind, Flag::ProtocolError,
                                   client.Error() + "; connection closed");
            }
            if (!keep) {
                m_unit.engine.LinkClosed(LinkOf(client));
                if (m_firmwareClient == &client) {
                    m_firmwareClient = nullptr;
                }
                m_links.erase(&client);
                clients[i - 1].reset();
            }
        }
        std::erase_if(clients, [](const auto& c) { return !c; });
    }
}

bool UsbDevice::HandleHid(UsbSimSocket& client, const uint8_t* msg, size_t size) {
    if (size < kFrame || msg[0] != 0xA5) {
        m_unit.log.Add(
            m_unit.Index(), m_kind, Direction::Received, msg, size,
            size < kFrame ? Flag::Incomplete : Flag::ProtocolError,
            size < kFrame ? "HID message shorter than 64 bytes" : "HID frame without A5");
        return true;
    }
    LaminatorEngine::Outcome o = m_unit.engine.HandleFrame(msg, kFrame, m_kind, LinkOf(client));
    if (o.note.rfind("firmware", 0) == 0) {
        m_firmwareClient = &client;
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

bool UsbDevice::HandlePrinter(UsbSimSocket& client, const uint8_t* msg, size_t size) {
    LaminatorEngine::Outcome o;
    bool framed = false;
    bool commandStart = msg[0] == 0x1B || msg[0] == 0x1C || msg[0] == 0x1D;
    // Once a transfer began, every 64-byte block of that client is firmware, whatever its
    // bytes; a framed command (the reset) is a short command in a full A5 3E frame, zeros
    // after it.
    bool inTransfer = m_firmwareClient == &client;
    // An 8-byte command cannot be a firmware block: the transfer before it has ended.
    if (inTransfer && size == kPing && commandStart) {
        m_unit.engine.LinkClosed(LinkOf(client));
        m_firmwareClient = nullptr;
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
        m_firmwareClient = &client;
        o.note = "firmware block";
    } else {
        o.flag = Flag::Incomplete;
        o.note = "printing-class message neither an 8-byte command nor a 64-byte block";
    }
    m_unit.log.Add(m_unit.Index(), m_kind, Direction::Received, msg, size, o.flag, o.note);
    return Reply(client, o, framed);
}

bool UsbDevice::Reply(UsbSimSocket& client, const LaminatorEngine::Outcome& o, bool framed) {
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
            if (!client.Send(m.data(), m.size(), kSendLimit)) {
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
