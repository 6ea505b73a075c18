// One whole search of the device list dialog, with a laminator written here answering:
// - the CPU used over the collection while replies arrive (share of one core), against a
//   bare receiver that polls the same replies with the same 500 ms tail;
// - the time from the last reply to the complete list, against a bare 500 ms wait;
// - 1000 replies in one burst: how many are listed, and how long listing them takes against
//   the bare receiver draining the same burst;
// - a flood of 20,000 distinct replies: the memory the search takes on top of the process
//   (resident set, peak while collecting), the rows listed and those counted as not listed.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>

#include "framework/headless_host.h"
#include "netsetup/net_resources.h"
#include "netsetup/net_work.h"
#include "tests/netsetup/udp_peer.h"

namespace {
using Clock = std::chrono::steady_clock;
using netsetup_test::Bytes;
using netsetup_test::SearchReplyBytes;

double CpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

Bytes Reply(unsigned n) {
    return SearchReplyBytes(
        n, {127, 0, 0, 1},
        {2, 0x50, 0x4c, 0, static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n)}, 0x0100,
        "LAM-" + std::to_string(n));
}

// Answers every datagram with `count` replies, `gap` apart; remembers when the last left.
class Laminators {
  public:
    Laminators(unsigned count, std::chrono::milliseconds gap, unsigned pauseEvery = 0)
        : m_count(count), m_gap(gap), m_pauseEvery(pauseEvery) {
        m_fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        socklen_t len = sizeof a;
        getsockname(m_fd, reinterpret_cast<sockaddr*>(&a), &len);
        m_port = ntohs(a.sin_port);
        m_thread = std::thread([this] { Run(); });
    }
    ~Laminators() {
        m_stop = true;
        shutdown(m_fd, SHUT_RDWR);
        const std::uint8_t wake = 0;
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(m_port);
        const int fd = socket(AF_INET, SOCK_DGRAM, 0);
        sendto(fd, &wake, 1, 0, reinterpret_cast<sockaddr*>(&a), sizeof a);
        close(fd);
        m_thread.join();
        close(m_fd);
    }
    SearchTarget Target() const { return SearchTarget{0x7F000001, m_port}; }
    Clock::time_point LastSent() {
        std::lock_guard lock(m_mutex);
        return m_last;
    }

  private:
    void Run() {
        std::uint8_t buffer[256];
        while (!m_stop) {
            sockaddr_in from{};
            socklen_t len = sizeof from;
            if (recvfrom(m_fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from),
                         &len) <= 0 ||
                m_stop)
                continue;
            for (unsigned n = 1; n <= m_count; ++n) {
                if (n > 1 && m_gap.count() > 0)
                    std::this_thread::sleep_for(m_gap);
                const Bytes r = Reply(n);
                sendto(m_fd, r.data(), r.size(), 0, reinterpret_cast<sockaddr*>(&from), len);
                if (m_pauseEvery && n % m_pauseEvery == 0)
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            std::lock_guard lock(m_mutex);
            m_last = Clock::now();
        }
    }

    unsigned m_count;
    std::chrono::milliseconds m_gap;
    unsigned m_pauseEvery;
    int m_fd = -1;
    std::uint16_t m_port = 0;
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    Clock::time_point m_last;
    std::thread m_thread;
};

class NoMainWindow : public NetLinkOwner {
  public:
    bool UsbPortOpen() override { return false; }
    void CloseUsbPort() override {}
    bool AutoDetectOn() override { return false; }
    void StartNetPoller() override {}
};

struct Run {
    double seconds = 0;  // search pressed to list complete
    double cpu = 0;
    double tail = 0;  // last reply sent to list complete
    int rows = 0;
};

// Presses Search in the device list and waits for the list, looking every `step`: a short
// step for the time to the list, a longer one where the watcher's own CPU would count.
Run SearchWithTheDialog(Laminators& lams, std::chrono::milliseconds step) {
    HeadlessHost host;
    NoMainWindow owner;
    CNetWork dlg(&owner, &host, lams.Target());
    host.Open(dlg);
    Event click;
    click.code = Notify::Clicked;
    click.id = kIdSearch;
    const double cpu0 = CpuSeconds();
    const auto t0 = Clock::now();
    dlg.Dispatch(click);
    while (dlg.IsCollecting())
        std::this_thread::sleep_for(step);
    const auto t1 = Clock::now();
    Run r;
    r.cpu = CpuSeconds() - cpu0;
    r.seconds = std::chrono::duration<double>(t1 - t0).count();
    r.tail = std::chrono::duration<double>(t1 - lams.LastSent()).count();
    r.rows = dlg.m_deviceList->RowCount();
    return r;
}

// The floor: a plain socket that sends the search and polls replies until 500 ms are quiet.
Run SearchBare(Laminators& lams) {
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    int room = 4 << 20;
    setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &room, sizeof room);
    const SearchTarget t = lams.Target();
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(t.address);
    to.sin_port = htons(t.port);
    const std::uint8_t search[] = {0xFF, 0x01, 0x01, 0x02};
    const double cpu0 = CpuSeconds();
    const auto t0 = Clock::now();
    sendto(fd, search, sizeof search, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    Run r;
    std::uint8_t buffer[64];
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 500) <= 0)
            break;
        if (recv(fd, buffer, sizeof buffer, 0) == 36)
            ++r.rows;
    }
    const auto t1 = Clock::now();
    r.cpu = CpuSeconds() - cpu0;
    r.seconds = std::chrono::duration<double>(t1 - t0).count();
    r.tail = std::chrono::duration<double>(t1 - lams.LastSent()).count();
    close(fd);
    return r;
}

void Report(benchmark::State& state, double dialogCpu, double dialogWall, double bareCpu,
            double bareWall) {
    state.counters["core_share_pct"] = 100.0 * dialogCpu / dialogWall;
    state.counters["bare_core_share_pct"] = 100.0 * bareCpu / bareWall;
}

// Ten laminators answering 50 ms apart: a collection of about a second.
void BM_SearchCpuWhileRepliesArrive(benchmark::State& state) {
    Laminators lams(10, std::chrono::milliseconds(50));
    double cpu = 0, wall = 0, bareCpu = 0, bareWall = 0, rows = 0;
    for (auto _ : state) {
        const Run d = SearchWithTheDialog(lams, std::chrono::milliseconds(50));
        const Run b = SearchBare(lams);
        cpu += d.cpu;
        wall += d.seconds;
        bareCpu += b.cpu;
        bareWall += b.seconds;
        rows += d.rows;
        state.SetIterationTime(d.seconds);
    }
    Report(state, cpu, wall, bareCpu, bareWall);
    state.counters["rows"] = rows / static_cast<double>(state.iterations());
}
BENCHMARK(BM_SearchCpuWhileRepliesArrive)
    ->Iterations(5)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

void BM_LastReplyToCompleteList(benchmark::State& state) {
    Laminators lams(3, std::chrono::milliseconds(20));
    double tail = 0, bareTail = 0;
    for (auto _ : state) {
        const Run d = SearchWithTheDialog(lams, std::chrono::milliseconds(1));
        const Run b = SearchBare(lams);
        tail += d.tail;
        bareTail += b.tail;
        state.SetIterationTime(d.tail);
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["tail_ms"] = 1000.0 * tail / n;
    state.counters["bare_tail_ms"] = 1000.0 * bareTail / n;
    state.counters["ratio"] = tail / bareTail;
}
BENCHMARK(BM_LastReplyToCompleteList)
    ->Iterations(5)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

void BM_BurstOf1000Replies(benchmark::State& state) {
    Laminators lams(1000, std::chrono::milliseconds(0));
    double lost = 0, seconds = 0, bareSeconds = 0, bareLost = 0;
    for (auto _ : state) {
        const Run d = SearchWithTheDialog(lams, std::chrono::milliseconds(1));
        const Run b = SearchBare(lams);
        lost += 1000 - d.rows;
        bareLost += 1000 - b.rows;
        seconds += d.seconds;
        bareSeconds += b.seconds;
        state.SetIterationTime(d.seconds);
    }
    state.counters["lost"] = lost;
    state.counters["bare_lost"] = bareLost;
    state.counters["ratio"] = seconds / bareSeconds;
}
BENCHMARK(BM_BurstOf1000Replies)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);

// Resident memory of the process in bytes.
double ResidentBytes() {
    long pages = 0;
    long resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE));
}

void BM_FloodOf20000DistinctReplies(benchmark::State& state) {
    constexpr unsigned kFlood = 20000;
    Laminators lams(kFlood, std::chrono::milliseconds(0), 250);
    double grown = 0, rows = 0, notListed = 0, seconds = 0;
    for (auto _ : state) {
        HeadlessHost host;
        NoMainWindow owner;
        CNetWork dlg(&owner, &host, lams.Target());
        host.Open(dlg);
        Event click;
        click.code = Notify::Clicked;
        click.id = kIdSearch;
        const double before = ResidentBytes();
        const auto t0 = Clock::now();
        dlg.Dispatch(click);
        double peak = before;
        while (dlg.IsCollecting()) {
            peak = std::max(peak, ResidentBytes());
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        peak = std::max(peak, ResidentBytes());
        const double t = std::chrono::duration<double>(Clock::now() - t0).count();
        grown = std::max(grown, peak - before);
        rows += dlg.m_deviceList->RowCount();
        notListed += static_cast<double>(dlg.Discovery().NotShown());
        seconds += t;
        state.SetIterationTime(t);
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["peak_growth_mb"] = grown / 1e6;
    state.counters["rows"] = rows / n;
    state.counters["not_listed"] = notListed / n;
    state.counters["seconds"] = seconds / n;
}
BENCHMARK(BM_FloodOf20000DistinctReplies)
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
