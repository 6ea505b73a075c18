// Time to read each parameter group, and all five, over TCP loopback and over the simulated
// USB device, against the same number of bare round trips on the same link in the same run.
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>

#include "bench/null_view.h"
#include "laminator/param_store.h"
#include "laminator/read_engine.h"
#include "link/ethernet_link.h"
#include "link/link_buffers.h"
#include "link/link_flags.h"
#include "link/usb_backend.h"
#include "link/usb_link.h"
#include "sim/simulator.h"

namespace {

std::unique_ptr<pellacor::sim::Simulator> g_sim;
NullView g_view;

struct GroupRun {
    const char* name;
    int exchanges;
};
// USB continuation frames are not counted: they come with the reply they continue.
const GroupRun kGroups[] = {{"Version info", 2},
                            {"Laminator info", 3},
                            {"Parameter setup", 5},
                            {"Laminator setup", 2},
                            {"Interface setup", 2}};

// One bare request and reply of a page query, as short as the link allows.
void BareRoundTrip(bool usb) {
    LinkTransaction transaction;
    EncodeCommand(usb ? "a53e1c72490100000000" : "1c72490100000000");
    TxLength = 64;
    if (usb) {
        UsbWrite();
        ReadUsbReply();
    } else {
        NetSend();
        NetReceive(64);  // a whole reply block, so nothing is left for the next
    }
}

void ReadGroups(bool usb, int first, int last) {
    for (int g = first; g <= last; ++g) {
        SetCurrentGroup(kGroups[g].name);
        usb ? UsbParameterReader(&g_view) : NetParameterReader(&g_view);
    }
}

// Arg 0: group index, 5 for all five. Arg 1: 1 over USB.
void BM_Read(benchmark::State& state) {
    const int group = static_cast<int>(state.range(0));
    const bool usb = state.range(1) == 1;
    EthernetLinkActive = usb ? 0 : 1;
    const int first = group == 5 ? 0 : group;
    const int last = group == 5 ? 4 : group;
    int exchanges = 0;
    for (int g = first; g <= last; ++g)
        exchanges += kGroups[g].exchanges;
    for (auto _ : state)
        ReadGroups(usb, first, last);

    // The floor, measured now on the same link: as many bare round trips.
    using Clock = std::chrono::steady_clock;
    constexpr int kFloorRuns = 300;
    const auto start = Clock::now();
    for (int i = 0; i < kFloorRuns; ++i) {
        for (int e = 0; e < exchanges; ++e)
            BareRoundTrip(usb);
    }
    const double floorUs =
        std::chrono::duration<double, std::micro>(Clock::now() - start).count() / kFloorRuns;
    const auto readStart = Clock::now();
    for (int i = 0; i < kFloorRuns; ++i)
        ReadGroups(usb, first, last);
    const double readUs =
        std::chrono::duration<double, std::micro>(Clock::now() - readStart).count() / kFloorRuns;
    state.counters["exchanges"] = exchanges;
    state.counters["floor_us"] = floorUs;
    state.counters["read_us"] = readUs;
    state.counters["ratio"] = readUs / floorUs;
    state.SetLabel(std::string(usb ? "usb " : "tcp ") + (group == 5 ? "all" : kGroups[group].name));
}

BENCHMARK(BM_Read)
    ->ArgsProduct({{0, 1, 2, 3, 4, 5}, {0, 1}})
    ->Unit(benchmark::kMicrosecond)
    ->MinTime(0.3);

}  // namespace

int main(int argc, char** argv) {
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "pellacor-bench-lam";
    std::filesystem::create_directories(dir);
    pellacor::sim::SimOptions options;
    options.tcpPort = 0;  // loopback only
    options.udp = false;
    options.usbPath = (dir / "hid").string();
    g_sim = std::make_unique<pellacor::sim::Simulator>(options);
    std::string error;
    if (!g_sim->Start(&error)) {
        std::fprintf(stderr, "simulator: %s\n", error.c_str());
        return 1;
    }
    SetUsbBackends({MakeSimulatedUsbBackend(g_sim->UsbPath(0), UsbClass::Hid)});
    SetEthernetPort(g_sim->TcpPort(0));
    if (OpenHidLink() != 1 || !ConnectEthernet(g_sim->TcpHost(0))) {
        std::fprintf(stderr, "cannot open the links to the simulator\n");
        return 1;
    }
    UsbLinkActive = 1;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    CloseUsbLink();
    CloseEthernet();
    g_sim.reset();
    std::filesystem::remove_all(dir);
    return 0;
}
