#pragma once
// The status-cycle benchmarks' common ground: a simulated laminator on loopback TCP as the
// Ethernet link, and the median of interleaved blocks.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "link/ethernet_link.h"
#include "link/link_flags.h"
#include "sim/simulator.h"

// Starts `sim` (TCP only, on a free port) and connects the Ethernet link to it.
inline bool ConnectToSimulatorOverTcp(pellacor::sim::Simulator& sim) {
    std::string error;
    if (!sim.Start(&error)) {
        std::fprintf(stderr, "simulator: %s\n", error.c_str());
        return false;
    }
    SetEthernetPort(sim.TcpPort(0));
    if (!ConnectEthernet(sim.TcpHost(0))) {
        std::fprintf(stderr, "cannot connect to the simulator\n");
        return false;
    }
    EthernetLinkActive = 1;
    return true;
}

inline pellacor::sim::SimOptions TcpOnlySimulatorOptions() {
    pellacor::sim::SimOptions options;
    options.tcpPort = 0;
    options.udp = false;
    return options;
}

inline double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}
