// Activate Port when the laminator is attached but its HID node refuses this user: the
// window says why and does not pretend to be active.
#include "app_fixture.h"
#include "tests/link/fake_usb_backend.h"

TEST_F(MainWindowTest, ActivatePortWithoutAccessShowsThePermissionMessageAndStaysInactive) {
    auto backend = std::make_shared<FakeUsbBackend>();
    const std::string laminator = "hid#vid_5314&pid_0001#/dev/hidraw5";
    backend->lists[UsbClass::Hid] = std::vector<std::string>{laminator};
    backend->openErrors[laminator] = std::make_error_code(std::errc::permission_denied);
    SetUsbBackends({backend});
    OpenWindow();  // Auto detect ticked: a successful activation would start the poller

    Click(kIdActivatePort);
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_NE(Messages()[0].find("/dev/hidraw5 cannot be opened: Permission denied."),
              std::string::npos);
    EXPECT_NE(Messages()[0].find("60-pellacor.rules"), std::string::npos);
    EXPECT_TRUE(dlg->Item(kIdActivatePort).IsEnabled());
    EXPECT_EQ(UsbLinkActive.load(), 0);
    EXPECT_EQ(PollThread(), nullptr);
    EXPECT_EQ(dlg->ReadOnFirstPoll.load(), 0);

    // Choosing a group then asks for the port instead of failing every exchange.
    DefaultMessageBoxRecorder().Clear();
    ChooseGroup(2);
    Settle();
    EXPECT_EQ(Messages(), std::vector<std::string>{"Please activate the port !"});
}
