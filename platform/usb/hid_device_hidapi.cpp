// HID interfaces through hidapi's hidraw backend.
#include <hidapi.h>

#include <algorithm>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/usb/device_file.h"
#include "platform/usb/hid_device.h"

namespace {

// hid_init, hid_enumerate and hid_open_path share hidapi's global state.
std::mutex& HidapiMutex() {
    static std::mutex mutex;
    return mutex;
}

// hid_enumerate answers an empty system and a failed listing alike; only its error text
// tells them apart.
bool EnumerationFailed() {
    const wchar_t* error = hid_error(nullptr);
    if (error == nullptr) {
        return false;
    }
    const std::wstring text(error);
    return text != L"Success" && text.rfind(L"No HID devices", 0) != 0;
}

bool HidapiReady() {
    static const bool ready = hid_init() == 0;
    return ready;
}

class HidapiPort : public UsbPort {
  public:
    explicit HidapiPort(hid_device* device) : m_device(device) {}

    ~HidapiPort() override {
        // A write that outlived its time-out still uses the device: the device is closed
        // once the kernel has ended it, aside, so that closing the link never waits for it.
        if (m_pendingWrite.valid() &&
            m_pendingWrite.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready) {
            std::thread([write = std::move(m_pendingWrite), device = m_device]() mutable {
                write.wait();
                hid_close(device);
            }).detach();
            return;
        }
        hid_close(m_device);
    }

    // hid_write has no time limit of its own, so it runs aside and is waited for.
    int Write(const std::uint8_t* data, std::size_t length,
              std::chrono::milliseconds timeout) override {
        if (m_pendingWrite.valid()) {
            if (m_pendingWrite.wait_for(std::chrono::milliseconds(0)) !=
                std::future_status::ready) {
                return -1;
            }
            m_pendingWrite.get();
        }
        std::vector<std::uint8_t> frame(data, data + length);
        hid_device* device = m_device;
        m_pendingWrite = std::async(std::launch::async, [device, frame = std::move(frame)] {
            return hid_write(device, frame.data(), frame.size());
        });
        if (m_pendingWrite.wait_for(timeout) != std::future_status::ready) {
            return -1;
        }
        return m_pendingWrite.get();
    }

    int Read(std::uint8_t* data, std::size_t capacity, std::chrono::milliseconds timeout) override {
        return hid_read_timeout(m_device, data, capacity, static_cast<int>(timeout.count()));
    }

  private:
    hid_device* m_device;
    std::future<int> m_pendingWrite;
};

}  // namespace

std::optional<std::vector<HidInterface>> ListHidInterfaces() {
    std::lock_guard lock(HidapiMutex());
    if (!HidapiReady()) {
        return std::nullopt;
    }
    hid_device_info* list = hid_enumerate(0, 0);
    if (list == nullptr && EnumerationFailed()) {
        return std::nullopt;
    }
    std::vector<HidInterface> found;
    for (hid_device_info* info = list; info != nullptr; info = info->next) {
        if (info->path != nullptr) {
            found.push_back({info->vendor_id, info->product_id, info->path});
        }
    }
    hid_free_enumeration(list);
    std::sort(found.begin(), found.end(),
              [](const HidInterface& a, const HidInterface& b) { return a.node < b.node; });
    return found;
}

std::unique_ptr<UsbPort> OpenHidInterface(const std::string& node, std::error_code& why) {
    why.clear();
    std::lock_guard lock(HidapiMutex());
    if (!HidapiReady()) {
        why = std::make_error_code(std::errc::io_error);
        return nullptr;
    }
    hid_device* device = hid_open_path(node.c_str());
    if (device == nullptr) {
        why = DeviceFileOpenError(node);
        return nullptr;
    }
    return std::make_unique<HidapiPort>(device);
}
