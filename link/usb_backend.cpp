#include "link/usb_backend.h"

#include <mutex>
#include <utility>

namespace {

std::mutex g_backendsMutex;

std::vector<std::shared_ptr<UsbBackend>> DefaultBackends() {
    return {MakeHidapiUsbBackend(), MakePrinterClassUsbBackend()};
}

std::vector<std::shared_ptr<UsbBackend>>& Backends() {
    static std::vector<std::shared_ptr<UsbBackend>> backends = DefaultBackends();
    return backends;
}

}  // namespace

void SetUsbBackends(std::vector<std::shared_ptr<UsbBackend>> backends) {
    std::lock_guard lock(g_backendsMutex);
    Backends() = std::move(backends);
}

void AddUsbBackend(std::shared_ptr<UsbBackend> backend) {
    std::lock_guard lock(g_backendsMutex);
    Backends().push_back(std::move(backend));
}

std::vector<std::shared_ptr<UsbBackend>> GetUsbBackends() {
    std::lock_guard lock(g_backendsMutex);
    return Backends();
}

void ResetUsbBackends() {
    std::lock_guard lock(g_backendsMutex);
    Backends() = DefaultBackends();
}
