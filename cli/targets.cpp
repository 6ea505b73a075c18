#include "cli/targets.h"

#include <charconv>

#include "framework/message_box.h"
#include "link/link_flags.h"
#include "link/usb_backend.h"
#include "link/usb_link.h"
#include "netsetup/net_resources.h"

std::string Target::Label() const {
    switch (kind) {
        case Kind::Tcp:
            return "tcp:" + host + ":" + std::to_string(port);
        case Kind::Usb:
            return "usb";
        case Kind::UsbPrinter:
            return "usb-printer";
        case Kind::UsbSim:
            return "usb-sim:" + path;
        case Kind::UsbSimPrinter:
            return "usb-sim-printer:" + path;
    }
    return {};
}

std::optional<Target> ParseTcpTarget(const std::string& text, std::uint16_t defaultPort,
                                     std::string& error) {
    Target t;
    t.kind = Target::Kind::Tcp;
    t.port = defaultPort;
    const std::size_t colon = text.find(':');
    t.host = text.substr(0, colon);
    if (colon != std::string::npos) {
        const std::string p = text.substr(colon + 1);
        unsigned port = 0;
        const auto [end, ec] = std::from_chars(p.data(), p.data() + p.size(), port);
        if (ec != std::errc() || end != p.data() + p.size() || port == 0 || port > 65535) {
            error = "--tcp takes HOST[:PORT] with a port from 1 to 65535, not \"" + text + "\"";
            return std::nullopt;
        }
        t.port = static_cast<std::uint16_t>(port);
    }
    unsigned parts = 0;
    bool ok = !t.host.empty();
    std::size_t at = 0;
    while (ok && at <= t.host.size()) {
        const std::size_t dot = t.host.find('.', at);
        const std::string field = t.host.substr(at, dot - at);
        unsigned v = 0;
        const auto [end, ec] = std::from_chars(field.data(), field.data() + field.size(), v);
        ok = !field.empty() && field.size() <= 3 && ec == std::errc() &&
             end == field.data() + field.size() && v <= 255;
        ++parts;
        if (dot == std::string::npos)
            break;
        at = dot + 1;
    }
    if (!ok || parts != 4) {
        error = "--tcp takes a dotted-quad address, not \"" + text + "\"";
        return std::nullopt;
    }
    return t;
}

bool OpenTarget(const Target& target) {
    CloseTarget();
    switch (target.kind) {
        case Target::Kind::Tcp:
            SetEthernetPort(target.port);
            if (!ConnectEthernet(target.host)) {
                MessageBox(std::string(kMsgConnectFailed));
                return false;
            }
            EthernetLinkActive.store(1);
            return true;
        case Target::Kind::Usb:
        case Target::Kind::UsbSim:
            if (target.kind == Target::Kind::UsbSim)
                SetUsbBackends({MakeSimulatedUsbBackend(target.path, UsbClass::Hid)});
            else
                ResetUsbBackends();
            if (!OpenHidLink())
                return false;  // the link has said why
            UsbLinkActive.store(1);
            return true;
        case Target::Kind::UsbPrinter:
        case Target::Kind::UsbSimPrinter:
            if (target.kind == Target::Kind::UsbSimPrinter)
                SetUsbBackends({MakeSimulatedUsbBackend(target.path, UsbClass::Printer)});
            else
                ResetUsbBackends();
            return OpenPrinterClassLink() != 0;
    }
    return false;
}

void CloseTarget() {
    CloseEthernet();
    EthernetLinkActive.store(0);
    CloseUsbLink();
    UsbLinkActive.store(0);
}

int CombinedExit(const int* codes, int count) {
    if (count == 0)
        return 0;
    for (int i = 1; i < count; ++i) {
        if (codes[i] != codes[0])
            return 1;
    }
    return codes[0];
}
