// One exchange through the link (encode, send, receive under the link lock) against a bare
// ping-pong of the same 64-byte frames with the same peer, over TCP loopback and over the
// simulator's framed loopback USB device. The link exchanges run with the frame trace off
// (trace:0) and on, writing to a file (trace:1).
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "link/ethernet_link.h"
#include "link/frame_trace.h"
#include "link/link_buffers.h"
#include "link/usb_backend.h"
#include "link/usb_link.h"
#include "link/usb_sim_transport.h"

namespace {

constexpr std::size_t kFrame = 64;

// Echoes every 64-byte frame back on each accepted connection, one thread per connection.
class EchoPeer {
  public:
    EchoPeer(int listener, bool stream) : m_listener(listener), m_stream(stream) {
        m_acceptor = std::thread([this] {
            for (;;) {
                const int fd = accept(m_listener, nullptr, nullptr);
                if (fd < 0) {
                    return;
                }
                if (m_stream) {
                    const int on = 1;
                    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
                }
                m_connections.emplace_back([this, fd] { Serve(fd); });
            }
        });
    }
    ~EchoPeer() {
        shutdown(m_listener, SHUT_RDWR);
        close(m_listener);
        m_acceptor.join();
        for (std::thread& connection : m_connections) {
            connection.join();
        }
    }

  private:
    void Serve(int fd) {
        std::uint8_t frame[kFrame];
        for (;;) {
            std::size_t got = 0;
            while (got < kFrame) {
                const ssize_t n = recv(fd, frame + got, kFrame - got, 0);
                if (n <= 0) {
                    close(fd);
                    return;
                }
                got += static_cast<std::size_t>(n);
            }
            if (send(fd, frame, kFrame, MSG_NOSIGNAL) != static_cast<ssize_t>(kFrame)) {
                close(fd);
                return;
            }
        }
    }

    int m_listener;
    bool m_stream;
    std::thread m_acceptor;
    std::vector<std::thread> m_connections;
};

int TcpListener(std::uint16_t& port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(fd, 4);
    socklen_t size = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    port = ntohs(address.sin_port);
    return fd;
}

// Turns the trace on for the benchmark's lifetime when its argument is 1.
class TraceForBenchmark {
  public:
    explicit TraceForBenchmark(const benchmark::State& state) {
        if (state.range(0) == 0)
            return;
        m_path = "/tmp/pellacor-bench-trace-" + std::to_string(getpid());
        std::string error;
        EnableFrameTrace(m_path, error);
    }
    ~TraceForBenchmark() {
        if (m_path.empty())
            return;
        DisableFrameTrace();
        std::filesystem::remove(m_path);
    }

  private:
    std::string m_path;
};

void BareRoundTrip(benchmark::State& state, int fd) {
    std::uint8_t frame[kFrame] = {0x1C, 0x72, 0x49, 0x01};
    std::uint8_t reply[kFrame];
    for (auto _ : state) {
        send(fd, frame, kFrame, MSG_NOSIGNAL);
        std::size_t got = 0;
        while (got < kFrame) {
            const ssize_t n = recv(fd, reply + got, kFrame - got, 0);
            if (n <= 0) {
                state.SkipWithError("peer closed");
                return;
            }
            got += static_cast<std::size_t>(n);
        }
        benchmark::DoNotOptimize(reply);
    }
}

void BM_TcpBareRoundTrip(benchmark::State& state) {
    std::uint16_t port = 0;
    EchoPeer peer(TcpListener(port), true);
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    BareRoundTrip(state, fd);
    close(fd);
}

void BM_TcpLinkExchange(benchmark::State& state) {
    std::uint16_t port = 0;
    EchoPeer peer(TcpListener(port), true);
    SetEthernetPort(port);
    if (!ConnectEthernet("127.0.0.1")) {
        state.SkipWithError("connect failed");
        return;
    }
    TraceForBenchmark trace(state);
    for (auto _ : state) {
        LinkTransaction transaction;
        EncodeCommand("1c72490100000000");
        TxLength = kFrame;
        NetSend();
        if (!NetReceive(kFrame)) {
            state.SkipWithError("receive failed");
            break;
        }
    }
    CloseEthernet();
}

// The simulator's USB device stand-in: a port file and an echo of every framed message.
class FramedEchoPeer {
  public:
    FramedEchoPeer()
        : dir([] {
              char pattern[] = "/tmp/pellacor-bench-XXXXXX";
              return std::string(mkdtemp(pattern));
          }()),
          path(dir + "/laminator") {
        std::string error;
        m_listener = UsbSimSocket::Listen(m_port, &error);
        WriteUsbSimPortFile(path, m_port, &error);
        m_acceptor = std::thread([this] {
            std::vector<bool> ready;
            while (!m_stop) {
                if (!WaitUsbSimReadable({&m_listener}, ready, std::chrono::milliseconds(100)))
                    return;
                if (!ready[0])
                    continue;
                auto connection = std::make_shared<UsbSimSocket>(m_listener.Accept());
                m_connections.emplace_back([this, connection] { Serve(*connection); });
            }
        });
    }
    ~FramedEchoPeer() {
        m_stop = true;
        m_acceptor.join();
        for (std::thread& connection : m_connections)
            connection.join();
        std::filesystem::remove_all(dir);
    }
    std::uint16_t Port() const { return m_port; }

    std::string dir;
    std::string path;

  private:
    void Serve(UsbSimSocket& connection) {
        std::uint8_t frame[kUsbSimMaxMessage];
        while (!m_stop) {
            const int n = connection.Receive(frame, sizeof frame, std::chrono::milliseconds(100));
            if (n < 0 || (n > 0 && !connection.Send(frame, static_cast<std::size_t>(n),
                                                    std::chrono::seconds(1))))
                return;
        }
    }

    UsbSimSocket m_listener;
    std::uint16_t m_port = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_acceptor;
    std::vector<std::thread> m_connections;
};

void BM_SimUsbBareRoundTrip(benchmark::State& state) {
    FramedEchoPeer peer;
    std::error_code why;
    UsbSimSocket device = UsbSimSocket::Connect(peer.Port(), why);
    std::uint8_t frame[kFrame] = {0x1C, 0x72, 0x49, 0x01};
    std::uint8_t reply[kFrame];
    for (auto _ : state) {
        device.Send(frame, kFrame, std::chrono::seconds(1));
        if (device.Receive(reply, kFrame, std::chrono::seconds(5)) != static_cast<int>(kFrame)) {
            state.SkipWithError("peer closed");
            return;
        }
        benchmark::DoNotOptimize(reply);
    }
}

void BM_SimUsbLinkExchange(benchmark::State& state) {
    FramedEchoPeer peer;
    SetUsbBackends({MakeSimulatedUsbBackend(peer.path, UsbClass::Hid)});
    CloseUsbLink();
    if (OpenHidLink() != 1) {
        state.SkipWithError("open failed");
        return;
    }
    TraceForBenchmark trace(state);
    for (auto _ : state) {
        LinkTransaction transaction;
        EncodeCommand("a53e1c72490100000000");
        TxLength = kFrame;
        UsbWrite();
        if (!ReadUsbReply()) {
            state.SkipWithError("read failed");
            break;
        }
    }
    CloseUsbLink();
    ResetUsbBackends();
}

// What a traced send costs when the trace is off, against the same loop without the call.
void BM_TraceCallOff(benchmark::State& state) {
    std::uint8_t frame[kFrame] = {0x1C, 0x72, 0x49, 0x01};
    for (auto _ : state) {
        TraceFrame(TraceLink::Hid, TraceDirection::Sent, frame, kFrame);
        benchmark::DoNotOptimize(frame);
    }
}

void BM_NoTraceCall(benchmark::State& state) {
    std::uint8_t frame[kFrame] = {0x1C, 0x72, 0x49, 0x01};
    for (auto _ : state)
        benchmark::DoNotOptimize(frame);
}

}  // namespace

BENCHMARK(BM_NoTraceCall);
BENCHMARK(BM_TraceCallOff);
BENCHMARK(BM_TcpBareRoundTrip)->UseRealTime();
BENCHMARK(BM_TcpLinkExchange)->ArgName("trace")->Arg(0)->Arg(1)->UseRealTime();
BENCHMARK(BM_SimUsbBareRoundTrip)->UseRealTime();
BENCHMARK(BM_SimUsbLinkExchange)->ArgName("trace")->Arg(0)->Arg(1)->UseRealTime();

BENCHMARK_MAIN();
