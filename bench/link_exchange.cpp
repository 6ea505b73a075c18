// One exchange through the link (encode, send, receive under the link lock) against a bare
// ping-pong of the same 64-byte frames with the same peer, over TCP loopback and over the
// simulator's SOCK_SEQPACKET USB device. The link exchanges run with the frame trace off
// (trace:0) and on, writing to a file (trace:1).
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

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

sockaddr_un UnixAddress(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    return address;
}

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

struct SeqpacketPeer {
    SeqpacketPeer()
        : dir([] {
              char pattern[] = "/tmp/pellacor-bench-XXXXXX";
              return std::string(mkdtemp(pattern));
          }()),
          path(dir + "/laminator.sock") {
        const int fd = socket(AF_UNIX, SOCK_SEQPACKET, 0);
        const sockaddr_un address = UnixAddress(path);
        bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
        listen(fd, 4);
        echo = std::make_unique<EchoPeer>(fd, false);
    }
    ~SeqpacketPeer() {
        echo.reset();
        std::filesystem::remove_all(dir);
    }
    std::string dir;
    std::string path;
    std::unique_ptr<EchoPeer> echo;
};

void BM_SimUsbBareRoundTrip(benchmark::State& state) {
    SeqpacketPeer peer;
    const int fd = socket(AF_UNIX, SOCK_SEQPACKET, 0);
    const sockaddr_un address = UnixAddress(peer.path);
    connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    BareRoundTrip(state, fd);
    close(fd);
}

void BM_SimUsbLinkExchange(benchmark::State& state) {
    SeqpacketPeer peer;
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
