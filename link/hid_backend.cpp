// HID interfaces, as the system lists and opens them.
#include "link/usb_backend.h"
#include "link/usb_port_device.h"
#include "platform/usb/hid_device.h"

namespace {

constexpr std::string_view kKind = "hid";

class HidBackend : public UsbBackend {
  public:
    std::optional<std::vector<std::string>> Enumerate(UsbClass cls) override {
        if (cls != UsbClass::Hid) {
            return std::vector<std::string>{};
        }
        const std::optional<std::vector<HidInterface>> found = ListHidInterfaces();
        if (!found) {
            return std::nullopt;
        }
        std::vector<std::string> names;
        for (const HidInterface& hid : *found) {
            names.push_back(InterfaceName(kKind, hid.vendorId, hid.productId, hid.node));
        }
        return names;
    }

    std::unique_ptr<UsbDevice> Open(const std::string& path, std::error_code& why) override {
        why.clear();
        const std::optional<std::string> node = InterfaceNode(path, kKind);
        if (!node) {
            return nullptr;
        }
        return MakePortDevice(OpenHidInterface(*node, why));
    }
};

}  // namespace

std::shared_ptr<UsbBackend> MakeHidUsbBackend() {
    return std::make_shared<HidBackend>();
}
