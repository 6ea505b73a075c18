// Request/reply rate of the simulator over TCP loopback, next to a bare echo server in
// the same run, so tool benchmarks can tell whether the simulator limits them.

#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "sim/simulator.h"

namespace {

int Connect(uint16_t port, const char* host = "127.0.0.1") {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    ::inet_pton(AF_INET, host, &a.sin_addr);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return -1;
    }
    int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return fd;
}

bool ReadFull(int fd, uint8_t* buf, size_t n) {
    size_t got = 0;
    while (got < n) {
        ssize_t r = ::recv(fd, buf + got, n - got, 0);
        if (r <= 0) {
            return false;
        }
        got += static_cast<size_t>(r);
    }
    return true;
}

// Echoes each 64-byte block back: the floor any request/reply server pays on loopback.
class EchoServer {
  public:
    EchoServer() {
        m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        ::inet_pton(AF_INET, "127.0.0.1", &a.sin_addr);
        ::bind(m_listen, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(m_listen, 1);
        socklen_t len = sizeof a;
        ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&a), &len);
        m_port = ntohs(a.sin_port);
        m_thread = std::thread([this] {
            int c = ::accept(m_listen, nullptr, nullptr);
            int on = 1;
            ::setsockopt(c, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
            uint8_t buf[64];
            while (ReadFull(c, buf, sizeof buf) && ::send(c, buf, sizeof buf, 0) > 0) {
            }
            ::close(c);
        });
    }
    ~EchoServer() {
        ::shutdown(m_listen, SHUT_RDWR);
        m_thread.join();
        ::close(m_listen);
    }
    uint16_t Port() const { return m_port; }

  private:
    int m_listen = -1;
    uint16_t m_port = 0;
    std::thread m_thread;
};

void RoundTrips(benchmark::State& state, int fd, const std::vector<uint8_t>& request) {
    uint8_t reply[64];
    for (auto _ : state) {
        if (::send(fd, request.data(), request.size(), 0) <= 0 || !ReadFull(fd, reply, 64)) {
            state.SkipWithError("connection lost");
            break;
        }
        benchmark::DoNotOptimize(reply);
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_EchoServer64(benchmark::State& state) {
    EchoServer echo;
    int fd = Connect(echo.Port());
    std::vector<uint8_t> block(64, 0);
    block[0] = 0x1C;
    RoundTrips(state, fd, block);
    ::close(fd);
}

pellacor::sim::SimOptions BenchOptions() {
    pellacor::sim::SimOptions o;
    o.tcpPort = 0;
    o.udp = false;
    return o;
}

void BM_SimulatorStatusQuery(benchmark::State& state) {
    pellacor::sim::Simulator sim(BenchOptions());
    std::string error;
    if (!sim.Start(&error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    int fd = Connect(sim.TcpPort(0));
    RoundTrips(state, fd, {0x1C, 0x41, 0x50, 0x01, 0, 0, 0, 0});
    ::close(fd);
}

void BM_SimulatorPageRead(benchmark::State& state) {
    pellacor::sim::Simulator sim(BenchOptions());
    std::string error;
    if (!sim.Start(&error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    int fd = Connect(sim.TcpPort(0));
    std::vector<uint8_t> block(64, 0);
    block[0] = 0x1C;
    block[1] = 0x72;
    block[2] = 0x50;
    block[3] = 0x02;
    RoundTrips(state, fd, block);
    ::close(fd);
}

BENCHMARK(BM_EchoServer64)->UseRealTime();
BENCHMARK(BM_SimulatorStatusQuery)->UseRealTime();
BENCHMARK(BM_SimulatorPageRead)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
