#include "link/usb_backend.h"

#include <cstdio>
#include <mutex>
#include <utility>

namespace {

std::mutex g_backendsMutex;

std::vector<std::shared_ptr<UsbBackend>> DefaultBackends() {
    return {MakeHidUsbBackend(), MakePrinterClassUsbBackend()};
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

std::string InterfaceName(std::string_view kind, unsigned vendorId, unsigned productId,
                          std::string_view node) {
    char ids[32];
    std::snprintf(ids, sizeof ids, "#vid_%04x&pid_%04x#", vendorId & 0xFFFF, productId & 0xFFFF);
    std::string name(kind);
    name += ids;
    name += node;
    return name;
}

std::optional<std::string> InterfaceNode(std::string_view path, std::string_view kind) {
    if (path.size() <= kind.size() || path.substr(0, kind.size()) != kind ||
        path[kind.size()] != '#')
        return std::nullopt;
    return NodeOfInterfaceName(path);
}

std::string NodeOfInterfaceName(std::string_view path) {
    const std::size_t first = path.find('#');
    const std::size_t second = first == std::string_view::npos ? first : path.find('#', first + 1);
    return std::string(second == std::string_view::npos ? path : path.substr(second + 1));
}
