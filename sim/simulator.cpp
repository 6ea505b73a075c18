#include "sim/simulator.h"

#include <filesystem>

#include "sim/laminator_unit.h"
#include "sim/socket_util.h"
#include "sim/state_file.h"
#include "sim/tcp_server.h"
#include "sim/udp_server.h"
#include "sim/usb_device.h"

namespace pellacor::sim {

struct Simulator::Unit {
    Unit(int index, LaminatorState initial, FrameLog& log, int idleFlushMs)
        : unit(index, std::move(initial), log),
          tcp(unit, idleFlushMs),
          hid(unit, Transport::UsbHid),
          printer(unit, Transport::UsbPrinter) {}
    LaminatorUnit unit;
    TcpServer tcp;
    UsbDevice hid;
    UsbDevice printer;
    std::string tcpHost;
    std::string hidPath;
    std::string printerPath;
    LaminatorState factory;
};

struct Simulator::Udp {
    Udp(std::vector<LaminatorUnit*> units, FrameLog& log) : server(std::move(units), log) {}
    UdpServer server;
};

namespace {
std::string NthPath(const std::string& base, int k) {
    return k == 0 ? base : base + "-" + std::to_string(k + 1);
}
bool Exists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(path, ec);
}
}  // namespace

Simulator::Simulator(SimOptions options) : m_options(std::move(options)) {}

Simulator::~Simulator() {
    Stop();
}

bool Simulator::Start(std::string* error) {
    if (m_started) {
        return true;
    }
    if (m_options.count < 1 || m_options.count > 200) {
        *error = "the laminator count must be 1 to 200";
        return false;
    }
    uint8_t base[4];
    if (!ParseIpv4(m_options.tcpHost, base)) {
        *error = "not an IPv4 address: " + m_options.tcpHost;
        return false;
    }
    if (m_options.count > 1 && base[3] + m_options.count - 1 > 254) {
        *error = "not enough addresses after " + m_options.tcpHost + " for " +
                 std::to_string(m_options.count) + " laminators";
        return false;
    }
    if (!m_options.logFile.empty() && !m_log.OpenFile(m_options.logFile)) {
        *error = "cannot open log file " + m_options.logFile;
        return false;
    }
    std::vector<LaminatorState> states;
    for (int k = 0; k < m_options.count; ++k) {
        std::array<uint8_t, 4> address{base[0], base[1], base[2],
                                       static_cast<uint8_t>(base[3] + k)};
        states.push_back(DefaultState(k, address));
    }
    std::vector<LaminatorState> factory = states;
    if (!m_options.stateFile.empty() && Exists(m_options.stateFile) &&
        !LoadStates(m_options.stateFile, states, error)) {
        return false;
    }
    m_units.clear();
    for (int k = 0; k < m_options.count; ++k) {
        auto u = std::make_unique<Unit>(k, factory[static_cast<size_t>(k)], m_log,
                                        m_options.idleFlushMs);
        u->factory = factory[static_cast<size_t>(k)];
        LaminatorState restored = states[static_cast<size_t>(k)];
        u->unit.engine.Update([&](LaminatorState& s) { s = restored; });
        u->unit.engine.SetFirmwareFile(NthPath(m_options.firmwareFile, k));
        if (m_options.firmwareFile.empty()) {
            u->unit.engine.SetFirmwareFile("");
        }
        u->unit.SetFaults(m_options.faults);
        m_units.push_back(std::move(u));
    }
    m_started = true;
    uint16_t port = m_options.tcpPort;
    for (int k = 0; k < m_options.count; ++k) {
        Unit& u = *m_units[static_cast<size_t>(k)];
        if (m_options.tcp) {
            uint8_t a[4] = {base[0], base[1], base[2], static_cast<uint8_t>(base[3] + k)};
            u.tcpHost = Ipv4Text(a);
            if (!u.tcp.Start(u.tcpHost, port, error)) {
                Stop();
                return false;
            }
            port = u.tcp.Port();  // the others share laminator 0's port
        }
        if (!m_options.usbPath.empty() &&
            !u.hid.Plug(u.hidPath = NthPath(m_options.usbPath, k), error)) {
            Stop();
            return false;
        }
        if (!m_options.printerPath.empty() &&
            !u.printer.Plug(u.printerPath = NthPath(m_options.printerPath, k), error)) {
            Stop();
            return false;
        }
    }
    if (m_options.udp) {
        std::vector<LaminatorUnit*> units;
        for (auto& u : m_units) {
            units.push_back(&u->unit);
        }
        m_udp = std::make_unique<Udp>(units, m_log);
        if (!m_udp->server.Start(m_options.udpHost, m_options.udpPort, error)) {
            Stop();
            return false;
        }
    }
    return true;
}

void Simulator::Stop() {
    if (!m_started) {
        return;
    }
    m_started = false;
    if (m_udp) {
        m_udp->server.Stop();
    }
    for (auto& u : m_units) {
        u->tcp.Stop();
        u->hid.Unplug();
        u->printer.Unplug();
    }
    if (!m_options.stateFile.empty()) {
        std::string error;
        if (!SaveState(m_options.stateFile, &error)) {
            std::fprintf(stderr, "pellacor-sim: %s\n", error.c_str());
        }
    }
}

std::string Simulator::TcpHost(int k) const {
    return m_units.at(static_cast<size_t>(k))->tcpHost;
}
uint16_t Simulator::TcpPort(int k) const {
    return m_units.at(static_cast<size_t>(k))->tcp.Port();
}
uint16_t Simulator::UdpPort() const {
    return m_udp ? m_udp->server.Port() : 0;
}
std::string Simulator::UsbPath(int k) const {
    return m_units.at(static_cast<size_t>(k))->hidPath;
}
std::string Simulator::PrinterPath(int k) const {
    return m_units.at(static_cast<size_t>(k))->printerPath;
}

LaminatorState Simulator::State(int k) {
    return m_units.at(static_cast<size_t>(k))->unit.engine.State();
}
LaminatorState Simulator::FactoryState(int k) const {
    return m_units.at(static_cast<size_t>(k))->factory;
}
void Simulator::UpdateState(int k, const std::function<void(LaminatorState&)>& change) {
    m_units.at(static_cast<size_t>(k))->unit.engine.Update(change);
}
bool Simulator::BracketOpen(int k) {
    return m_units.at(static_cast<size_t>(k))->unit.engine.BracketOpen();
}
FirmwareCapture Simulator::Firmware(int k) {
    return m_units.at(static_cast<size_t>(k))->unit.engine.Firmware();
}

void Simulator::SetFaults(const std::vector<Fault>& faults) {
    for (auto& u : m_units) {
        u->unit.SetFaults(faults);
    }
}
void Simulator::SetFaults(int k, const std::vector<Fault>& faults) {
    m_units.at(static_cast<size_t>(k))->unit.SetFaults(faults);
}

// The cable: both USB interfaces go and come back together.
bool Simulator::UnplugUsb(int k) {
    Unit& u = *m_units.at(static_cast<size_t>(k));
    if (!u.hid.Plugged() && !u.printer.Plugged()) {
        return false;
    }
    u.hid.Unplug();
    u.printer.Unplug();
    return true;
}

bool Simulator::ReplugUsb(int k, std::string* error) {
    Unit& u = *m_units.at(static_cast<size_t>(k));
    if (u.hidPath.empty() && u.printerPath.empty()) {
        *error = "this laminator has no USB socket path";
        return false;
    }
    if (!u.hidPath.empty() && !u.hid.Plugged() && !u.hid.Plug(u.hidPath, error)) {
        return false;
    }
    return u.printerPath.empty() || u.printer.Plugged() || u.printer.Plug(u.printerPath, error);
}

bool Simulator::SaveState(const std::string& path, std::string* error) {
    std::vector<LaminatorState> states;
    for (auto& u : m_units) {
        states.push_back(u->unit.engine.State());
    }
    return SaveStates(path, states, error);
}

std::string Simulator::Describe() const {
    std::string s;
    for (const auto& u : m_units) {
        int k = u->unit.Index();
        s += "laminator " + std::to_string(k + 1) + ":";
        if (!u->tcpHost.empty()) {
            s += " tcp " + u->tcpHost + ":" + std::to_string(u->tcp.Port());
        }
        if (!u->hidPath.empty()) {
            s += " usb-hid " + u->hidPath;
        }
        if (!u->printerPath.empty()) {
            s += " usb-printer " + u->printerPath;
        }
        s += "\n";
    }
    if (m_udp) {
        s += "udp " + m_options.udpHost + ":" + std::to_string(m_udp->server.Port()) +
             " (discovery and configuration, answers for every laminator)\n";
    }
    return s;
}

}  // namespace pellacor::sim
