#include "tests/cli/ctl_process.h"

#include <netinet/in.h>
#include <sys/socket.h>

#include <atomic>

namespace ctltest {

uint16_t FreeTcpPort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    uint16_t port = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size) == 0)
        port = ntohs(a.sin_port);
    close(fd);
    return port;
}

TempDir::TempDir() {
    static std::atomic<int> next{0};
    m_path = std::filesystem::temp_directory_path() /
             ("pellacorctl-test-" + std::to_string(getpid()) + "-" + std::to_string(next++));
    std::filesystem::create_directories(m_path);
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

SimulatedLaminators::SimulatedLaminators(int count) {
    // A port picked free a moment ago can be taken meanwhile: a few tries.
    for (int attempt = 0; attempt < 5 && !m_started; ++attempt) {
        pellacor::sim::SimOptions o;
        o.count = count;
        o.tcpHost = "127.0.0.1";
        o.tcpPort = count == 1 ? 0 : FreeTcpPort();
        o.udpHost = "127.0.0.1";
        o.udpPort = 0;
        o.usbPath = (m_dir.Path() / ("hid" + std::to_string(attempt))).string();
        o.printerPath = (m_dir.Path() / ("lp" + std::to_string(attempt))).string();
        m_sim = std::make_unique<pellacor::sim::Simulator>(o);
        m_error.clear();
        m_started = m_sim->Start(&m_error);
    }
}

std::string SimulatedLaminators::Tcp(int k) const {
    return m_sim->TcpHost(k) + ":" + std::to_string(m_sim->TcpPort(k));
}

std::string SimulatedLaminators::SearchAddress() const {
    return "127.0.0.1:" + std::to_string(m_sim->UdpPort());
}

int SimulatedLaminators::ParameterWrites() const {
    int writes = 0;
    for (const pellacor::sim::FrameRecord& f : m_sim->Frames()) {
        if (f.direction != pellacor::sim::Direction::Received)
            continue;
        const std::vector<uint8_t>& b = f.bytes;
        const std::size_t at = (!b.empty() && b[0] == 0xA5) ? 2 : 0;
        if (b.size() >= at + 2 && b[at] == 0x1C && b[at + 1] == 0x77)
            ++writes;
    }
    return writes;
}

int SimulatedLaminators::FramesReceived() const {
    int n = 0;
    for (const pellacor::sim::FrameRecord& f : m_sim->Frames())
        n += f.direction == pellacor::sim::Direction::Received;
    return n;
}

}  // namespace ctltest
