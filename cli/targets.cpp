#include "cli/targets.h"

#include <charconv>

#include "framework/message_box.h"
#include "laminator/encodings.h"
#include "link/ipv4_text.h"
#include "link/link_flags.h"
#include "link/usb_backend.h"
#include "link/usb_link.h"
#include "link/usb_port_name.h"
#include "netsetup/net_resources.h"
#include "platform/sockets.h"

std::string Target::Key() const {
    const Target unopened = {kind, host, address, port, path, {}};
    return unopened.Label();
}

std::string Target::Label() const {
    switch (kind) {
        case Kind::Tcp:
            return "tcp:" + host + ":" + std::to_string(port);
        case Kind::Usb:
            return device.empty() ? "usb" : "usb " + device;
        case Kind::UsbPrinter:
            return device.empty() ? "usb-printer" : "usb-printer " + device;
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
    if (t.host.empty()) {
        error = "--tcp takes HOST[:PORT], not \"" + text + "\"";
        return std::nullopt;
    }
    // Digits and dots are an address, never a name: the resolver would read "010" as octal.
    if (t.host.find_first_not_of("0123456789.") == std::string::npos) {
        if (const char* problem = Ipv4Problem(t.host)) {
            error = "--tcp: \"" + t.host + "\" is not an IPv4 address: it " + problem + ".";
            return std::nullopt;
        }
        t.address = t.host;
        return t;
    }
    std::string why;
    const std::optional<std::uint32_t> found = platform::ResolveIpv4(t.host, why);
    if (!found) {
        error = "--tcp: the host \"" + t.host + "\" cannot be resolved: " + why;
        return std::nullopt;
    }
    t.address = Ipv4Text(*found);
    return t;
}

namespace {
// Where the opened devices are, for the target's label.
void NoteOpenedDevices(const Target& target) {
    std::string devices;
    for (const std::string& name : OpenUsbInterfaces())
        devices += (devices.empty() ? "" : ", ") + UsbInterfaceLabel(name);
    target.device = devices;
}

// After "No conforming device!": what was looked for and what was seen instead.
void SayWhatWasLookedFor(UsbClass cls) {
    std::string seen;
    bool laminator = false;
    for (const auto& backend : GetUsbBackends()) {
        const std::optional<std::vector<std::string>> paths = backend->Enumerate(cls);
        for (const std::string& path : paths.value_or(std::vector<std::string>{})) {
            std::string vid;
            std::string pid;
            ParseVidPid(path, vid, pid);
            laminator = laminator || vid == kLaminatorVidText;
            seen += (seen.empty() ? "" : ", ") + NodeOfInterfaceName(path) +
                    (vid.empty() ? std::string() : " (vendor " + vid + ")");
        }
    }
    if (laminator)
        return;  // the link has said why the laminator's node could not be used
    const char* kind = cls == UsbClass::Hid ? "hidraw" : "usb/lp";
    MessageBox("Looked for a laminator with vendor id " + std::string(kLaminatorVidText) +
               " among the " + kind + " nodes: " + (seen.empty() ? "none was found" : seen) +
               ". Is it plugged in and switched on?");
}
}  // namespace

bool OpenTarget(const Target& target) {
    CloseTarget();
    switch (target.kind) {
        case Target::Kind::Tcp:
            SetEthernetPort(target.port);
            if (!ConnectEthernet(target.address)) {
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
            if (!OpenHidLink()) {
                if (target.kind == Target::Kind::Usb)
                    SayWhatWasLookedFor(UsbClass::Hid);
                return false;  // the link has said why
            }
            if (target.kind == Target::Kind::Usb)
                NoteOpenedDevices(target);
            UsbLinkActive.store(1);
            return true;
        case Target::Kind::UsbPrinter:
        case Target::Kind::UsbSimPrinter:
            if (target.kind == Target::Kind::UsbSimPrinter)
                SetUsbBackends({MakeSimulatedUsbBackend(target.path, UsbClass::Printer)});
            else
                ResetUsbBackends();
            if (OpenPrinterClassLink() != 0) {
                if (target.kind == Target::Kind::UsbPrinter)
                    NoteOpenedDevices(target);
                return true;
            }
            if (target.kind == Target::Kind::UsbPrinter)
                SayWhatWasLookedFor(UsbClass::Printer);
            return false;
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
