#include "link/usb_port_device.h"

namespace {

class PortDevice : public UsbDevice {
  public:
    explicit PortDevice(std::unique_ptr<UsbPort> port) : m_port(std::move(port)) {}

    int Write(const std::uint8_t* data, std::size_t length,
              std::chrono::milliseconds timeout) override {
        return m_port->Write(data, length, timeout);
    }
    int Read(std::uint8_t* data, std::size_t capacity, std::chrono::milliseconds timeout) override {
        return m_port->Read(data, capacity, timeout);
    }
    void DrainStale(TraceLink link) override {
        std::uint8_t scratch[1024];
        for (int i = 0; i < 256; ++i) {
            const int got = m_port->Read(scratch, sizeof scratch, std::chrono::milliseconds(0));
            if (got <= 0) {
                return;
            }
            TraceDiscarded(link, scratch, static_cast<std::size_t>(got));
        }
    }

  private:
    std::unique_ptr<UsbPort> m_port;
};

}  // namespace

std::unique_ptr<UsbDevice> MakePortDevice(std::unique_ptr<UsbPort> port) {
    return port ? std::make_unique<PortDevice>(std::move(port)) : nullptr;
}
