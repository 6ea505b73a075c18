#pragma once
// A stand-in for the simulator's virtual USB device: a listener whose port is in the file
// at `path`, and the far end of the connection the link opened.
#include <chrono>
#include <string>
#include <vector>

#include "link/usb_sim_transport.h"

class UsbSimPeer {
  public:
    explicit UsbSimPeer(const std::string& path) : m_path(path) {
        std::string error;
        m_listener = UsbSimSocket::Listen(m_port, &error);
        m_written = m_listener.Valid() && WriteUsbSimPortFile(path, m_port, &error);
        m_error = error;
    }
    bool Ok() const { return m_written; }
    const std::string& Error() const { return m_error; }
    std::uint16_t Port() const { return m_port; }

    // The newest connection waiting: listing the device connects once to see it is there,
    // and that connection comes before the one the link opened.
    bool AcceptLatest() {
        std::vector<bool> ready;
        while (WaitUsbSimReadable({&m_listener}, ready, std::chrono::milliseconds(0)) && ready[0]) {
            UsbSimSocket next = m_listener.Accept();
            if (!next.Valid())
                break;
            peer = std::move(next);
        }
        return peer.Valid();
    }
    // Stops listening: the port file stays behind, stale.
    void StopListening() { m_listener = UsbSimSocket(); }

    UsbSimSocket peer;

  private:
    std::string m_path;
    UsbSimSocket m_listener;
    std::uint16_t m_port = 0;
    bool m_written = false;
    std::string m_error;
};
