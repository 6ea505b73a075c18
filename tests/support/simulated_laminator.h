#pragma once
// A simulated laminator on loopback ports chosen by the system, with its virtual USB
// devices in `dir`, listed by the link as if plugged in. Shared by the tests of every layer.
#include <filesystem>
#include <memory>
#include <string>

#include "link/ethernet_link.h"
#include "link/usb_backend.h"
#include "sim/simulator.h"

// Null when it did not start; `error` says why.
inline std::unique_ptr<pellacor::sim::Simulator> StartSimulatedLaminator(
    const std::filesystem::path& dir, std::string& error, bool udp = false) {
    pellacor::sim::SimOptions o;
    o.tcpPort = 0;
    o.udp = udp;
    o.udpPort = 0;
    o.usbPath = (dir / "hid").string();
    o.printerPath = (dir / "lp").string();
    auto sim = std::make_unique<pellacor::sim::Simulator>(o);
    if (!sim->Start(&error))
        return nullptr;
    SetUsbBackends({MakeSimulatedUsbBackend(sim->UsbPath(0), UsbClass::Hid)});
    SetEthernetPort(sim->TcpPort(0));
    return sim;
}
