// The simulator's virtual laminators: a loopback stream each, one message per frame.
#include "link/usb_backend.h"
#include "link/usb_sim_transport.h"

namespace {

class SimulatedDevice : public UsbDevice {
  public:
    explicit SimulatedDevice(UsbSimSocket socket) : m_socket(std::move(socket)) {}

    int Write(const std::uint8_t* data, std::size_t length,
              std::chrono::milliseconds timeout) override {
        return m_socket.Send(data, length, timeout) ? static_cast<int>(length) : -1;
    }
    int Read(std::uint8_t* data, std::size_t capacity, std::chrono::milliseconds timeout) override {
        return m_socket.Receive(data, capacity, timeout);
    }
    void DrainStale(TraceLink link) override {
        std::uint8_t scratch[kUsbSimMaxMessage];
        for (int i = 0; i < 256; ++i) {
            const int got = m_socket.Receive(scratch, sizeof scratch, std::chrono::milliseconds(0));
            if (got <= 0)
                return;
            TraceDiscarded(link, scratch, static_cast<std::size_t>(got));
        }
    }

  private:
    UsbSimSocket m_socket;
};

class SimulatedBackend : public UsbBackend {
  public:
    SimulatedBackend(std::string portFile, UsbClass cls)
        : m_portFile(std::move(portFile)),
          m_class(cls),
          m_name(cls == UsbClass::Hid ? InterfaceName("sim", 0x5314, 0x0001, m_portFile)
                                      : InterfaceName("simlp", 0x5314, 0x0002, m_portFile)) {}

    // Listed while the simulator is there: its port file names a port that takes a
    // connection. A file left behind by a simulator that has gone lists nothing.
    std::optional<std::vector<std::string>> Enumerate(UsbClass cls) override {
        if (cls != m_class)
            return std::vector<std::string>{};
        const std::optional<std::uint16_t> port = ReadUsbSimPortFile(m_portFile);
        std::error_code why;
        if (!port || !UsbSimSocket::Connect(*port, why).Valid())
            return std::vector<std::string>{};
        return std::vector<std::string>{m_name};
    }

    std::unique_ptr<UsbDevice> Open(const std::string& path, std::error_code& why) override {
        why.clear();
        if (path != m_name)
            return nullptr;
        const std::optional<std::uint16_t> port = ReadUsbSimPortFile(m_portFile);
        if (!port) {
            why = std::make_error_code(std::errc::no_such_device);
            return nullptr;
        }
        UsbSimSocket socket = UsbSimSocket::Connect(*port, why);
        if (!socket.Valid())
            return nullptr;
        return std::make_unique<SimulatedDevice>(std::move(socket));
    }

  private:
    std::string m_portFile;
    UsbClass m_class;
    std::string m_name;
};

}  // namespace

std::shared_ptr<UsbBackend> MakeSimulatedUsbBackend(const std::string& portFile, UsbClass cls) {
    return std::make_shared<SimulatedBackend>(portFile, cls);
}
