// A USB device's label: its bus port found through a sysfs tree made here, as the kernel
// lays it out for a HID interface and for a printing-class one.
#include "link/usb_port_name.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace {
class UsbPortName : public ::testing::Test {
  protected:
    void SetUp() override {
        m_root = fs::temp_directory_path() / ("pellacor-sysfs-" + std::to_string(getpid()));
        fs::remove_all(m_root);
        // The device behind a hub: bus 3, port 1, then port 4 of the hub.
        const fs::path hub = m_root / "devices/pci0000:00/0000:00:14.0/usb3/3-1/3-1.4";
        fs::create_directories(hub / "3-1.4:1.0/0003:14BA:0001.0007");
        fs::create_directories(hub / "3-1.4:1.1");
        Link("hidraw/hidraw3", hub / "3-1.4:1.0/0003:14BA:0001.0007");
        Link("usbmisc/lp0", hub / "3-1.4:1.1");
        // A node whose device is not on a USB port (a virtual one).
        fs::create_directories(m_root / "devices/virtual/misc/uhid/0003:14BA:0001.0008");
        Link("hidraw/hidraw9", m_root / "devices/virtual/misc/uhid/0003:14BA:0001.0008");
    }
    void TearDown() override { fs::remove_all(m_root); }
    void Link(const std::string& node, const fs::path& device) {
        fs::create_directories(m_root / "class" / node);
        fs::create_directory_symlink(device, m_root / "class" / node / "device");
    }
    fs::path m_root;
};

TEST_F(UsbPortName, NamesThePortOfAHidAndAPrintingClassInterface) {
    EXPECT_EQ(UsbInterfaceLabel("hid#vid_14ba&pid_0001#/dev/hidraw3", m_root.string()),
              "3-1.4 (/dev/hidraw3)");
    EXPECT_EQ(UsbInterfaceLabel("usblp#vid_14ba&pid_0001#/dev/usb/lp0", m_root.string()),
              "3-1.4 (/dev/usb/lp0)");
}

TEST_F(UsbPortName, WithoutAPortOnlyTheNodeIsNamed) {
    EXPECT_EQ(UsbInterfaceLabel("hid#vid_14ba&pid_0001#/dev/hidraw9", m_root.string()),
              "(/dev/hidraw9)");
    EXPECT_EQ(UsbInterfaceLabel("hid#vid_14ba&pid_0001#/dev/hidraw5", m_root.string()),
              "(/dev/hidraw5)");  // not in sysfs at all
}
}  // namespace
