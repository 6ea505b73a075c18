#pragma once
// A loopback TCP peer with a laminator-sized receive buffer that reads at a set pace, or not
// at all until told to finish: what it acknowledged stays close to what it read.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>

#include "platform/sockets.h"

class PacedReaderPeer {
  public:
    // Reads `chunk` bytes every `interval`; a zero chunk reads nothing until Finish().
    PacedReaderPeer(std::size_t chunk, std::chrono::milliseconds interval)
        : m_chunk(chunk), m_interval(interval) {
        m_listen.Reset(platform::OpenSocket(platform::SocketKind::Stream));
        // Set before listening: accepted connections take the listener's buffer.
        platform::SetReceiveBuffer(m_listen.Get(), 4096);
        if (!platform::Bind(m_listen.Get(), {platform::kLoopback, 0}) ||
            !platform::Listen(m_listen.Get(), 1))
            return;
        m_port = platform::LocalEndpoint(m_listen.Get()).port;
        if (m_port == 0)
            return;
        m_thread = std::thread([this] { Serve(); });
    }
    ~PacedReaderPeer() { Finish(); }
    PacedReaderPeer(const PacedReaderPeer&) = delete;
    PacedReaderPeer& operator=(const PacedReaderPeer&) = delete;

    std::string Address() const { return "127.0.0.1:" + std::to_string(m_port); }
    // Reads whatever is left until the sender closes, then ends.
    void Finish() {
        m_finish = true;
        if (m_thread.joinable())
            m_thread.join();
    }
    // Bytes read, all of them once Finish() returned.
    std::size_t Received() const { return m_received; }

  private:
    void Serve() {
        int ready = 0;
        while (!m_finish && (ready = platform::WaitSocket(m_listen.Get(), platform::kReadable,
                                                          std::chrono::milliseconds(50))) == 0) {
        }
        if (ready <= 0)
            return;
        const platform::Socket connection(platform::Accept(m_listen.Get()));
        if (!connection.Valid())
            return;
        char buffer[65536];
        while (!m_finish) {
            if (m_chunk > 0 && !Read(connection.Get(), buffer, m_chunk))
                break;
            std::this_thread::sleep_for(m_interval);
        }
        while (Read(connection.Get(), buffer, sizeof buffer)) {
        }
    }
    bool Read(platform::SocketId id, char* buffer, std::size_t want) {
        const long n = platform::Receive(id, buffer, want);
        if (n <= 0)
            return false;
        m_received += static_cast<std::size_t>(n);
        return true;
    }
    std::size_t m_chunk;
    std::chrono::milliseconds m_interval;
    platform::Socket m_listen;
    std::uint16_t m_port = 0;
    std::atomic<bool> m_finish{false};
    std::atomic<std::size_t> m_received{0};
    std::thread m_thread;
};
