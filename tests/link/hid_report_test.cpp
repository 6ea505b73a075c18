// A link frame through a Windows HID interface's reports, and the ids of Windows device
// paths: both are portable code, so Linux tests them too.
#include "platform/usb/hid_report.h"

#include <gtest/gtest.h>

#include <numeric>
#include <string>

#include "link/usb_link.h"

namespace {

std::vector<std::uint8_t> Frame() {
    std::vector<std::uint8_t> frame(64);
    std::iota(frame.begin(), frame.end(), std::uint8_t{0xA5});
    return frame;
}

TEST(HidReport, AFrameGoesOutAsOneWholeReportWithItsIdWhenTheInterfaceWantsOne) {
    const std::vector<std::uint8_t> frame = Frame();
    // 65: the unnumbered report's id, then the frame.
    std::vector<std::uint8_t> report = HidOutputReport(frame.data(), frame.size(), 65);
    ASSERT_EQ(report.size(), 65u);
    EXPECT_EQ(report[0], 0);
    EXPECT_TRUE(std::equal(frame.begin(), frame.end(), report.begin() + 1));
    // As long as the report: as it is. Longer reports: zeros after it. Unknown: as it is.
    EXPECT_EQ(HidOutputReport(frame.data(), frame.size(), 64), frame);
    report = HidOutputReport(frame.data(), 8, 65);
    ASSERT_EQ(report.size(), 65u);
    EXPECT_EQ(report[0], 0xA5);
    EXPECT_EQ(report[8], 0);
    EXPECT_EQ(HidOutputReport(frame.data(), 8, 0).size(), 8u);
}

TEST(HidReport, AReportReadHandsBackTheFrameWithoutTheUnnumberedId) {
    std::vector<std::uint8_t> report(65, 0);
    const std::vector<std::uint8_t> frame = Frame();
    std::copy(frame.begin(), frame.end(), report.begin() + 1);
    std::uint8_t got[1024];
    ASSERT_EQ(HidInputFrame(report.data(), report.size(), 65, got, sizeof got), 64u);
    EXPECT_TRUE(std::equal(frame.begin(), frame.end(), got));
    // A numbered report keeps its first byte; a small buffer takes what fits.
    EXPECT_EQ(HidInputFrame(frame.data(), frame.size(), 64, got, sizeof got), 64u);
    EXPECT_EQ(got[0], 0xA5);
    EXPECT_EQ(HidInputFrame(report.data(), report.size(), 65, got, 10), 10u);
    EXPECT_EQ(HidInputFrame(report.data(), 1, 65, got, sizeof got), 0u);
}

TEST(HidReport, WindowsDevicePathsGiveTheirIdsWhateverFollows) {
    std::string vid;
    std::string pid;
    ASSERT_TRUE(ParseVidPid(
        R"(\\?\hid#vid_5314&pid_0001&mi_00#7&1f2b3c4d&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030})",
        vid, pid));
    EXPECT_EQ(vid, "5314");
    EXPECT_EQ(pid, "0001");
    ASSERT_TRUE(ParseVidPid(
        R"(\\?\usb#vid_04b8&pid_0005#5&2c#{28d78fad-5a12-11d1-ae5b-0000f803a8c2})", vid, pid));
    EXPECT_EQ(vid, "04B8");
    EXPECT_EQ(pid, "0005");
}

}  // namespace
