// Firmware download throughput over TCP loopback against bare sends of the same 64-byte
// frames on a plain socket in the same run; frames per second over the simulated USB device;
// and the CPU the status poller uses while it waits between cycles.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench/null_view.h"
#include "laminator/firmware_download.h"
#include "laminator/poll_control.h"
#include "laminator/status_poller.h"
#include "link/ethernet_link.h"
#include "link/link_buffers.h"
#include "link/link_flags.h"
#include "link/usb_backend.h"
#include "link/usb_link.h"
#include "link/usb_sim_transport.h"
#include "sim/simulator.h"

namespace {

using Clock = std::chrono::steady_clock;

std::unique_ptr<pellacor::sim::Simulator> g_sim;
NullView g_view;

// Text records like a .mot file's.
std::vector<std::uint8_t> MotFile(std::size_t n) {
    std::vector<std::uint8_t> b(n);
    for (std::size_t i = 0; i < n; ++i)
        b[i] = i % 72 == 0 ? 'S' : static_cast<std::uint8_t>("0123456789ABCDEF"[(i * 7) % 16]);
    return b;
}

// The frames the transfer sends, built once for the bare sender.
std::vector<std::uint8_t> Frames(const std::vector<std::uint8_t>& file) {
    std::vector<std::uint8_t> out;
    std::size_t sent = 0;
    for (;;) {
        const std::size_t count = std::min<std::size_t>(file.size() - sent, 62);
        std::uint8_t frame[64] = {0xA5, static_cast<std::uint8_t>(count)};
        std::copy_n(file.begin() + static_cast<long>(sent), count, frame + 2);
        out.insert(out.end(), frame, frame + 64);
        sent += count;
        if (count < 62)
            return out;
    }
}

// A loopback peer that takes every byte and keeps none, so the sender is what is measured.
class DrainServer {
  public:
    DrainServer() {
        m_listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(m_listener, reinterpret_cast<sockaddr*>(&a), sizeof a);
        listen(m_listener, 16);
        socklen_t size = sizeof a;
        getsockname(m_listener, reinterpret_cast<sockaddr*>(&a), &size);
        m_port = ntohs(a.sin_port);
        m_thread = std::thread([this] {
            for (;;) {
                const int c = accept(m_listener, nullptr, nullptr);
                if (c < 0)
                    return;
                std::thread([c] {
                    static thread_local std::uint8_t junk[65536];
                    while (recv(c, junk, sizeof junk, 0) > 0) {
                    }
                    close(c);
                }).detach();
            }
        });
    }
    ~DrainServer() {
        shutdown(m_listener, SHUT_RDWR);
        close(m_listener);
        m_thread.join();
    }
    std::uint16_t Port() const { return m_port; }

  private:
    int m_listener = -1;
    std::uint16_t m_port = 0;
    std::thread m_thread;
};

int BareConnect(std::uint16_t port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return fd;
}

// One 64-byte send per frame, as the transfer does, with nothing else around it.
void BareSend(std::uint16_t port, const std::vector<std::uint8_t>& frames) {
    const int fd = BareConnect(port);
    for (std::size_t at = 0; at < frames.size(); at += 64)
        send(fd, frames.data() + at, 64, MSG_NOSIGNAL);
    close(fd);
}

void TcpTransfer(std::uint16_t port, const std::vector<std::uint8_t>& file) {
    SetEthernetPort(port);
    ConnectEthernet("127.0.0.1");
    TransferFirmware(g_view, FirmwareRoute::Ethernet, file);
    CloseEthernet();
}

// The firmware transfer over TCP against the same frames sent bare, alternating runs.
void BM_FirmwareTcp(benchmark::State& state) {
    DrainServer server;
    const std::vector<std::uint8_t> file = MotFile(1 << 20);
    const std::vector<std::uint8_t> frames = Frames(file);
    double transferS = 0;
    double bareS = 0;
    for (auto _ : state) {
        auto t0 = Clock::now();
        TcpTransfer(server.Port(), file);
        auto t1 = Clock::now();
        BareSend(server.Port(), frames);
        auto t2 = Clock::now();
        transferS += std::chrono::duration<double>(t1 - t0).count();
        bareS += std::chrono::duration<double>(t2 - t1).count();
    }
    const double mib = static_cast<double>(state.iterations());
    state.counters["transfer_MiB_s"] = mib / transferS;
    state.counters["bare_MiB_s"] = mib / bareS;
    state.counters["ratio"] = bareS / transferS;  // throughput of the transfer / bare
}
BENCHMARK(BM_FirmwareTcp)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// Over the simulated USB device: frames per second, and bare framed sends of the same
// frames to the same device for comparison.
void BM_FirmwareUsb(benchmark::State& state) {
    const std::vector<std::uint8_t> file = MotFile(256 << 10);
    const std::vector<std::uint8_t> frames = Frames(file);
    const int count = static_cast<int>(frames.size() / 64);
    double transferS = 0;
    double bareS = 0;
    for (auto _ : state) {
        OpenHidLink();
        auto t0 = Clock::now();
        TransferFirmware(g_view, FirmwareRoute::Hid, file);
        auto t1 = Clock::now();
        CloseUsbLink();
        transferS += std::chrono::duration<double>(t1 - t0).count();
        std::error_code why;
        UsbSimSocket device =
            UsbSimSocket::Connect(ReadUsbSimPortFile(g_sim->UsbPath(0)).value_or(0), why);
        auto t2 = Clock::now();
        for (std::size_t at = 0; at < frames.size(); at += 64)
            device.Send(frames.data() + at, 64, std::chrono::seconds(1));
        auto t3 = Clock::now();
        device = UsbSimSocket();
        bareS += std::chrono::duration<double>(t3 - t2).count();
    }
    const double n = static_cast<double>(state.iterations()) * count;
    state.counters["frames_s"] = n / transferS;
    state.counters["bare_frames_s"] = n / bareS;
    state.counters["ratio"] = bareS / transferS;
}
BENCHMARK(BM_FirmwareUsb)->Unit(benchmark::kMillisecond)->MinTime(2.0);

double ProcessCpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Process CPU over `window`, as a share of one core.
double CpuShare(std::chrono::milliseconds window) {
    const double cpu0 = ProcessCpuSeconds();
    const auto t0 = Clock::now();
    std::this_thread::sleep_for(window);
    const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
    return (ProcessCpuSeconds() - cpu0) / wall;
}

// The whole process (simulator included) while the TCP poller waits between two cycles,
// against the same window with no poller running.
void BM_PollerIdleCpu(benchmark::State& state) {
    SetEthernetPort(g_sim->TcpPort(0));
    ConnectEthernet(g_sim->TcpHost(0));
    EthernetLinkActive = 1;
    double idle = 0;
    double baseline = 0;
    for (auto _ : state) {
        baseline = CpuShare(std::chrono::milliseconds(1500));
        while (WaitPollCycleDone(std::chrono::milliseconds(0))) {
        }
        StartStatusPoller(&NetStatusPoller, &g_view);
        WaitPollCycleDone(std::chrono::seconds(5));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));  // the cycle's tail
        idle = CpuShare(std::chrono::milliseconds(1500));
        WorkerHandle poller = PollThread();
        StopStatusPoller();
        poller->Join(std::chrono::seconds(5));
    }
    EthernetLinkActive = 0;
    CloseEthernet();
    state.counters["idle_cpu_pct"] = idle * 100;
    state.counters["baseline_cpu_pct"] = baseline * 100;
}
BENCHMARK(BM_PollerIdleCpu)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("pellacor-bench-fw-" + std::to_string(getpid()));
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
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    CloseUsbLink();
    g_sim.reset();
    std::filesystem::remove_all(dir);
    return 0;
}
