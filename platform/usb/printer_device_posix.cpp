// USB printing-class devices on Linux: the usblp driver's lp* entries in sysfs and
// /dev/usb/lpN.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "link/fd_io.h"
#include "platform/usb/printer_device.h"

namespace fs = std::filesystem;

namespace {

class PrinterNode : public UsbPort {
  public:
    explicit PrinterNode(int fd) : m_fd(fd) {}
    ~PrinterNode() override { close(m_fd); }

    int Write(const std::uint8_t* data, std::size_t length,
              std::chrono::milliseconds timeout) override {
        return WriteWithin(m_fd, FdKind::Stream, data, length, timeout);
    }
    int Read(std::uint8_t* data, std::size_t capacity, std::chrono::milliseconds timeout) override {
        return ReadWithin(m_fd, FdKind::Stream, data, capacity, timeout);
    }

  private:
    int m_fd;
};

// The four hex digits of a sysfs id file, or empty.
std::string ReadId(const fs::path& file) {
    std::ifstream in(file);
    std::string text;
    in >> text;
    return text.size() == 4 ? text : std::string{};
}

unsigned HexId(const std::string& text) {
    return static_cast<unsigned>(std::strtoul(text.c_str(), nullptr, 16));
}

// The USB device of an lp entry sits somewhere above its interface; it holds the ids.
bool FindIds(const fs::path& entry, unsigned& vid, unsigned& pid) {
    std::error_code error;
    fs::path dir = fs::canonical(entry, error);
    if (error) {
        return false;
    }
    for (int depth = 0; depth < 16 && dir.has_relative_path(); ++depth) {
        if (fs::exists(dir / "idVendor", error) && fs::exists(dir / "idProduct", error)) {
            const std::string vendor = ReadId(dir / "idVendor");
            const std::string product = ReadId(dir / "idProduct");
            vid = HexId(vendor);
            pid = HexId(product);
            return !vendor.empty() && !product.empty();
        }
        dir = dir.parent_path();
    }
    return false;
}

// lp entries in the order of their number, so lp2 comes before lp10.
bool LpNumber(const std::string& name, int& number) {
    if (name.size() < 3 || name.rfind("lp", 0) != 0) {
        return false;
    }
    number = 0;
    for (std::size_t i = 2; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9' || number > 100000) {
            return false;
        }
        number = number * 10 + (name[i] - '0');
    }
    return true;
}

}  // namespace

std::optional<std::vector<PrinterInterface>> ListPrinterInterfaces(const PrinterPlaces& places) {
    std::error_code error;
    if (!fs::exists(places.classDir, error)) {
        return std::vector<PrinterInterface>{};  // no printing-class driver, so no device
    }
    fs::directory_iterator it(places.classDir, error);
    if (error) {
        return std::nullopt;
    }
    std::vector<std::pair<int, PrinterInterface>> found;
    for (const fs::directory_entry& entry : it) {
        const std::string name = entry.path().filename().string();
        int number = 0;
        PrinterInterface printer;
        if (!LpNumber(name, number) ||
            !FindIds(entry.path(), printer.vendorId, printer.productId)) {
            continue;
        }
        printer.node = (fs::path(places.devDir) / name).string();
        found.emplace_back(number, std::move(printer));
    }
    std::sort(found.begin(), found.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<PrinterInterface> list;
    for (auto& entry : found) {
        list.push_back(std::move(entry.second));
    }
    return list;
}

std::unique_ptr<UsbPort> OpenPrinterInterface(const std::string& node, std::error_code& why) {
    why.clear();
    const int fd = open(node.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        why = std::error_code(errno, std::generic_category());
        return nullptr;
    }
    return std::make_unique<PrinterNode>(fd);
}
