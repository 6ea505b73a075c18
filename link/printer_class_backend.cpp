// USB printing-class devices: the usblp driver's lp* entries in sysfs and /dev/usb/lpN.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "link/fd_io.h"
#include "link/usb_backend.h"

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kKind = "usblp";

unsigned HexId(const std::string& text) {
    return static_cast<unsigned>(std::strtoul(text.c_str(), nullptr, 16));
}

class PrinterClassDevice : public UsbDevice {
  public:
    explicit PrinterClassDevice(int fd) : m_fd(fd) {}
    ~PrinterClassDevice() override { close(m_fd); }

    int Write(const std::uint8_t* data, std::size_t length,
              std::chrono::milliseconds timeout) override {
        return WriteWithin(m_fd, FdKind::Stream, data, length, timeout);
    }
    int Read(std::uint8_t* data, std::size_t capacity, std::chrono::milliseconds timeout) override {
        return ReadWithin(m_fd, FdKind::Stream, data, capacity, timeout);
    }
    void DrainStale(TraceLink link) override { DrainFd(m_fd, FdKind::Stream, link); }

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

// The USB device of an lp entry sits somewhere above its interface; it holds the ids.
bool FindIds(const fs::path& entry, std::string& vid, std::string& pid) {
    std::error_code error;
    fs::path dir = fs::canonical(entry, error);
    if (error) {
        return false;
    }
    for (int depth = 0; depth < 16 && dir.has_relative_path(); ++depth) {
        if (fs::exists(dir / "idVendor", error) && fs::exists(dir / "idProduct", error)) {
            vid = ReadId(dir / "idVendor");
            pid = ReadId(dir / "idProduct");
            return !vid.empty() && !pid.empty();
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

class PrinterClassBackend : public UsbBackend {
  public:
    PrinterClassBackend(std::string classDir, std::string devDir)
        : m_classDir(std::move(classDir)), m_devDir(std::move(devDir)) {}

    std::optional<std::vector<std::string>> Enumerate(UsbClass cls) override {
        if (cls != UsbClass::Printer) {
            return std::vector<std::string>{};
        }
        std::error_code error;
        if (!fs::exists(m_classDir, error)) {
            return std::vector<std::string>{};  // no printing-class driver, so no device
        }
        fs::directory_iterator it(m_classDir, error);
        if (error) {
            return std::nullopt;
        }
        std::vector<std::pair<int, std::string>> found;
        for (const fs::directory_entry& entry : it) {
            const std::string name = entry.path().filename().string();
            int number = 0;
            std::string vid;
            std::string pid;
            if (!LpNumber(name, number) || !FindIds(entry.path(), vid, pid)) {
                continue;
            }
            found.emplace_back(number, InterfaceName(kKind, HexId(vid), HexId(pid),
                                                     (fs::path(m_devDir) / name).string()));
        }
        return NamesInKeyOrder(std::move(found));
    }

    std::unique_ptr<UsbDevice> Open(const std::string& path, std::error_code& why) override {
        why.clear();
        const std::optional<std::string> node = InterfaceNode(path, kKind);
        if (!node) {
            return nullptr;
        }
        const int fd = open(node->c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
        if (fd < 0) {
            why = std::error_code(errno, std::generic_category());
            return nullptr;
        }
        return std::make_unique<PrinterClassDevice>(fd);
    }

  private:
    std::string m_classDir;
    std::string m_devDir;
};

}  // namespace

std::shared_ptr<UsbBackend> MakePrinterClassUsbBackend(const std::string& classDir,
                                                       const std::string& devDir) {
    return std::make_shared<PrinterClassBackend>(classDir, devDir);
}
