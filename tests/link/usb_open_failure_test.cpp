// A laminator that is listed but whose device files cannot be opened: Activate Port's open
// fails with the node, the reason and, for a permission error, the remedy.
#include "link/usb_open_failure.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "fake_usb_backend.h"
#include "framework/message_box.h"
#include "link/usb_link.h"
#include "platform/usb/device_file.h"

namespace {

const std::string kLaminator = "hid#vid_5314&pid_0001#/dev/hidraw3";
const std::string kSecondLaminator = "hid#vid_5314&pid_0001#/dev/hidraw4";
const std::string kPrinter = "usblp#vid_5314&pid_0002#/dev/usb/lp0";

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class UsbOpenFailureTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_backend = std::make_shared<FakeUsbBackend>();
        SetUsbBackends({m_backend});
        CloseUsbLink();
        DefaultMessageBoxRecorder().Clear();
    }
    void TearDown() override {
        CloseUsbLink();
        ResetUsbBackends();
        DefaultMessageBoxRecorder().Clear();
    }
    void Refuse(const std::string& path, std::errc why) {
        m_backend->openErrors[path] = std::make_error_code(why);
    }
    std::vector<std::string> Messages() { return DefaultMessageBoxRecorder().Texts(); }

    std::shared_ptr<FakeUsbBackend> m_backend;
};

TEST_F(UsbOpenFailureTest, APermissionErrorFailsTheOpenAndSaysHowToGetAccess) {
    m_backend->lists[UsbClass::Hid] = std::vector<std::string>{kLaminator};
    Refuse(kLaminator, std::errc::permission_denied);
    EXPECT_EQ(OpenHidLink(), 0);
    EXPECT_EQ(UsbHandleTable()[0], -1);
    ASSERT_EQ(Messages().size(), 1u);
    const std::string text = Messages()[0];
    EXPECT_TRUE(Has(text, "/dev/hidraw3 cannot be opened: Permission denied.")) << text;
    EXPECT_TRUE(Has(text, "60-pellacor.rules")) << text;
    EXPECT_TRUE(Has(text, "unplug the laminator and plug it in again")) << text;
    EXPECT_FALSE(Has(text, "hid#")) << text;  // the node, not the listed name
}

TEST_F(UsbOpenFailureTest, EveryFailedNodeIsNamedInOneMessage) {
    m_backend->lists[UsbClass::Hid] = std::vector<std::string>{kLaminator, kSecondLaminator};
    Refuse(kLaminator, std::errc::device_or_resource_busy);
    Refuse(kSecondLaminator, std::errc::operation_not_permitted);
    EXPECT_EQ(OpenHidLink(), 0);
    ASSERT_EQ(Messages().size(), 1u);
    const std::string text = Messages()[0];
    EXPECT_TRUE(Has(text, "/dev/hidraw3: Device or resource busy")) << text;
    EXPECT_TRUE(Has(text, "/dev/hidraw4: Operation not permitted")) << text;
    EXPECT_TRUE(Has(text, "60-pellacor.rules")) << text;
}

TEST_F(UsbOpenFailureTest, OtherReasonsAreNamedWithoutTheAccessRemedy) {
    m_backend->lists[UsbClass::Hid] = std::vector<std::string>{kLaminator};
    Refuse(kLaminator, std::errc::no_such_device);
    EXPECT_EQ(OpenHidLink(), 0);
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_TRUE(Has(Messages()[0], "/dev/hidraw3 cannot be opened: No such device."));
    EXPECT_FALSE(Has(Messages()[0], "pellacor.rules"));
}

TEST_F(UsbOpenFailureTest, OneOpenedDeviceIsEnoughAndTheRefusedOneIsNotReported) {
    m_backend->lists[UsbClass::Hid] = std::vector<std::string>{kLaminator, kSecondLaminator};
    Refuse(kLaminator, std::errc::permission_denied);
    EXPECT_EQ(OpenHidLink(), 1);
    EXPECT_EQ(UsbHandleTable()[0], -1);
    EXPECT_GT(UsbHandleTable()[1], 0);
    EXPECT_TRUE(Messages().empty());
}

TEST_F(UsbOpenFailureTest, ThePrintingClassPathFailsTheSameWay) {
    m_backend->lists[UsbClass::Printer] = std::vector<std::string>{kPrinter};
    Refuse(kPrinter, std::errc::permission_denied);
    EXPECT_EQ(OpenPrinterClassLink(), 0);
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_TRUE(Has(Messages()[0], "/dev/usb/lp0 cannot be opened: Permission denied."));
}

TEST(UsbOpenErrorTest, RealBackendsReportTheSystemsReason) {
    EXPECT_EQ(DeviceFileOpenError("/nonexistent/hidraw99"), std::errc::no_such_file_or_directory);
    const auto file = std::filesystem::temp_directory_path() / "pellacor-open-error-node";
    std::ofstream(file) << "x";
    // The node opens, so whatever failed was not the file itself.
    EXPECT_EQ(DeviceFileOpenError(file.string()), std::errc::io_error);
    std::filesystem::remove(file);

    std::error_code why;
    EXPECT_EQ(MakeHidUsbBackend()->Open("hid#vid_5314&pid_0001#/nonexistent/hidraw99", why),
              nullptr);
    EXPECT_EQ(why, std::errc::no_such_file_or_directory);
    EXPECT_EQ(MakePrinterClassUsbBackend()->Open("usblp#vid_5314&pid_0002#/nonexistent/lp9", why),
              nullptr);
    EXPECT_EQ(why, std::errc::no_such_file_or_directory);
    // A name another backend owns is no failure of this one.
    EXPECT_EQ(MakePrinterClassUsbBackend()->Open(kLaminator, why), nullptr);
    EXPECT_FALSE(why);
}

}  // namespace
