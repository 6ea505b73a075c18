// USB printing-class devices, as the system lists and opens them.
#include "link/usb_backend.h"
#include "link/usb_port_device.h"
#include "platform/usb/printer_device.h"

namespace {

constexpr std::string_view kKind = "usblp";

class PrinterClassBackend : public UsbBackend {
  public:
    explicit PrinterClassBackend(PrinterPlaces places) : m_places(std::move(places)) {}

    std::optional<std::vector<std::string>> Enumerate(UsbClass cls) override {
        if (cls != UsbClass::Printer) {
            return std::vector<std::string>{};
        }
        const std::optional<std::vector<PrinterInterface>> found = ListPrinterInterfaces(m_places);
        if (!found) {
            return std::nullopt;
        }
        std::vector<std::string> names;
        for (const PrinterInterface& printer : *found) {
            names.push_back(
                InterfaceName(kKind, printer.vendorId, printer.productId, printer.node));
        }
        return names;
    }

    std::unique_ptr<UsbDevice> Open(const std::string& path, std::error_code& why) override {
        why.clear();
        const std::optional<std::string> node = InterfaceNode(path, kKind);
        if (!node) {
            return nullptr;
        }
        return MakePortDevice(OpenPrinterInterface(*node, why));
    }

  private:
    PrinterPlaces m_places;
};

}  // namespace

std::shared_ptr<UsbBackend> MakePrinterClassUsbBackend(const std::string& classDir,
                                                       const std::string& devDir) {
    return std::make_shared<PrinterClassBackend>(PrinterPlaces{classDir, devDir});
}
