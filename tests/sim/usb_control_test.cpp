// Pulling and plugging the virtual USB cable by lines of text, as --control-stdin does.
#include "sim/usb_control.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <sstream>

#include "sim/simulator.h"
#include "tests/sim/sim_client.h"

namespace {

using pellacor::sim::SimOptions;
using pellacor::sim::Simulator;
using pellacor::sim::UsbControl;
using simtest::Bytes;
using simtest::Hex;
using simtest::TempPath;
using simtest::UsbClient;

Bytes StatusQuery() {
    Bytes frame = Hex("a53e1c41500100000000");
    frame.resize(64, 0);
    return frame;
}

class UsbControlTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SimOptions o;
        o.tcp = false;
        o.udp = false;
        o.count = 2;
        o.usbPath = TempPath("ctl-hid");
        o.printerPath = TempPath("ctl-lp");
        sim = std::make_unique<Simulator>(o);
        std::string error;
        ASSERT_TRUE(sim->Start(&error)) << error;
    }
    void TearDown() override { sim->Stop(); }
    bool Present(int k) const {
        return std::filesystem::exists(sim->UsbPath(k)) &&
               std::filesystem::exists(sim->PrinterPath(k));
    }

    std::unique_ptr<Simulator> sim;
};

TEST_F(UsbControlTest, UnplugAndPlugLinesActOnEveryLaminatorsCable) {
    UsbControl control(*sim);
    UsbClient open(sim->UsbPath(1));
    ASSERT_TRUE(open.Ok());

    EXPECT_EQ(control.Apply("unplug\r\n"),
              "laminator 1: USB unplugged\nlaminator 2: USB unplugged\n");
    EXPECT_FALSE(Present(0));
    EXPECT_FALSE(Present(1));
    open.Send(StatusQuery());
    EXPECT_TRUE(open.Receive(200).empty());  // the open link sees its device gone
    EXPECT_FALSE(UsbClient(sim->UsbPath(0)).Ok());
    EXPECT_EQ(control.Apply("unplug"), "");  // already out: nothing to say

    EXPECT_EQ(control.Apply("  plug "),
              "laminator 1: USB plugged in\nlaminator 2: USB plugged in\n");
    ASSERT_TRUE(Present(0) && Present(1));
    UsbClient again(sim->UsbPath(1));
    ASSERT_TRUE(again.Ok());
    again.Send(StatusQuery());
    EXPECT_EQ(again.Receive().size(), 64u);
}

TEST_F(UsbControlTest, ReadsLinesUntilTheInputEndsAndSaysWhatItDidNotKnow) {
    auto control = std::make_shared<UsbControl>(*sim);
    std::istringstream in("unplug\n\nreboot\n" + std::string(500, 'x') + "\nplug");
    std::ostringstream out;
    control->Run(in, out);
    EXPECT_EQ(out.str(),
              "laminator 1: USB unplugged\nlaminator 2: USB unplugged\n"
              "unknown USB control \"reboot\": use unplug or plug\n"
              "USB control line too long: use unplug or plug\n"
              "laminator 1: USB plugged in\nlaminator 2: USB plugged in\n");
    EXPECT_TRUE(Present(0) && Present(1));

    control->Close();  // the simulator is going: a late line does nothing
    EXPECT_EQ(control->Apply("unplug"), "");
    EXPECT_TRUE(Present(0));
}

}  // namespace
