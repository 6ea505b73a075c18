#include "link/frame_trace.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "laminator/firmware_download.h"
#include "laminator/mode_commands.h"
#include "platform/process.h"
#include "sim_fixture.h"

namespace {
std::vector<std::string> Lines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::string TracePath(const char* name) {
    return (std::filesystem::temp_directory_path() /
            (std::string("pellacor-trace-") + name + "-" + std::to_string(platform::ProcessId())))
        .string();
}

std::size_t Count(const std::vector<std::string>& lines, const std::string& part) {
    std::size_t n = 0;
    for (const std::string& l : lines)
        n += l.find(part) != std::string::npos;
    return n;
}
}  // namespace

TEST(FrameTraceNotes, NameTheKnownCommandsOnEveryLink) {
    const Bytes readPage = Frame(LinkKind::Usb, {0x1C, 0x72, 0x4D, 0x10});
    EXPECT_EQ(FrameNote(TraceLink::Hid, TraceDirection::Sent, readPage.data(), readPage.size()),
              "read page 4D 10");
    const Bytes bare = Frame(LinkKind::Ethernet, {0x1C, 0x72, 0x4D, 0x10});
    EXPECT_EQ(FrameNote(TraceLink::Tcp, TraceDirection::Sent, bare.data(), bare.size()),
              "read page 4D 10");
    const Bytes status = {0x1C, 0x41, 0x50, 0x01, 0, 0, 0, 0};
    EXPECT_EQ(FrameNote(TraceLink::Tcp, TraceDirection::Sent, status.data(), status.size()),
              "status");
    EXPECT_EQ(
        FrameNote(TraceLink::Tcp, TraceDirection::Sent, kOpenBracket.data(), kOpenBracket.size()),
        "MODE open");
    EXPECT_EQ(
        FrameNote(TraceLink::Tcp, TraceDirection::Sent, kCloseBracket.data(), kCloseBracket.size()),
        "MODE close");
    const Bytes reset = Concat(kOpenBracket, {0x1D, 0x02, 0x40});
    EXPECT_EQ(FrameNote(TraceLink::Tcp, TraceDirection::Sent, reset.data(), reset.size()),
              "MODE open, reset");
    // A HID frame's length byte bounds the command: a truncated length names nothing.
    Bytes shortFrame = readPage;
    shortFrame[1] = 2;
    EXPECT_EQ(FrameNote(TraceLink::Hid, TraceDirection::Sent, shortFrame.data(), 2), "");
    const Bytes search = {0xFF, 0x01, 0x01, 0x01};
    EXPECT_EQ(FrameNote(TraceLink::Udp, TraceDirection::Sent, search.data(), search.size()),
              "search");
    EXPECT_EQ(FrameNote(TraceLink::Udp, TraceDirection::Received, search.data(), search.size()),
              "search reply");
    EXPECT_EQ(FrameNote(TraceLink::Tcp, TraceDirection::Received, status.data(), status.size()),
              "");
}

TEST(FrameTraceNotes, ALineHoldsTimeLinkDirectionCountBytesAndNote) {
    const Bytes bytes = {0x1C, 0x41, 0xA5, 0x00};
    EXPECT_EQ(FormatTraceLine(1234567, TraceLink::Hid, TraceDirection::Sent, bytes.data(),
                              bytes.size(), "status"),
              "     1234567 hid   >    4 1C 41 A5 00  # status");
    EXPECT_EQ(FormatTraceLine(5, TraceLink::Udp, TraceDirection::Received, bytes.data(), 0, ""),
              "           5 udp   <    0 ");
}

using FrameTraceTest = LinkTest;

TEST_P(FrameTraceTest, AReadShowsEveryFrameBothWays) {
    const std::string path = TracePath("read");
    std::string error;
    ASSERT_TRUE(EnableFrameTrace(path, error)) << error;
    SetCurrentGroup(std::string(kGroupParameterSetup));
    GetParam() == LinkKind::Usb ? UsbParameterReader(&m_view) : NetParameterReader(&m_view);
    DisableFrameTrace();
    const std::vector<std::string> lines = Lines(path);
    const std::string link = GetParam() == LinkKind::Usb ? " hid " : " tcp ";
    EXPECT_EQ(Count(lines, link + "  > "), 5u);
    EXPECT_EQ(Count(lines, link + "  < "), 5u);
    EXPECT_EQ(Count(lines, "# read page 4D 10"), 1u);
    // Nothing after the trace ended.
    UsbParameterReader(&m_view);
    EXPECT_EQ(Lines(path).size(), lines.size());
    std::filesystem::remove(path);
}

TEST_P(FrameTraceTest, AFirmwareDownloadNamesEveryFrame) {
    const std::string path = TracePath("firmware");
    std::string error;
    ASSERT_TRUE(EnableFrameTrace(path, error)) << error;
    m_view.SetFirmware(Bytes(200, 'S'));
    GetParam() == LinkKind::Usb ? HidDownloadWorker(&m_view) : NetDownloadWorker(&m_view);
    DisableFrameTrace();
    const std::vector<std::string> lines = Lines(path);
    for (int n = 1; n <= 4; ++n)
        EXPECT_EQ(Count(lines, "# firmware frame " + std::to_string(n) + " of 4"), 1u) << n;
    EXPECT_EQ(Count(lines, "firmware frame"), 4u);
    std::filesystem::remove(path);
}

// A reply that came after its reader gave up is thrown away before the next request, and
// the trace shows it as such: a field trace holds every byte the laminator sent.
TEST_P(FrameTraceTest, ALateReplyIsTracedWhenItIsDiscarded) {
    const std::string path = TracePath("late");
    std::string error;
    ASSERT_TRUE(EnableFrameTrace(path, error)) << error;
    const bool usb = GetParam() == LinkKind::Usb;
    const int delayMs = usb ? 2200 : 1200;  // past the link's receive time-out
    m_sim->SetFaults({{pellacor::sim::FaultKind::Delay, delayMs, 0}});
    const auto start = std::chrono::steady_clock::now();
    SendRawCommand(GetParam(), "1c 41 50 01 00 00 00 00");
    m_sim->SetFaults({});
    std::this_thread::sleep_until(start + std::chrono::milliseconds(delayMs + 300));
    SendRawCommand(GetParam(), "1c 41 50 01 00 00 00 00");
    DisableFrameTrace();
    const std::vector<std::string> lines = Lines(path);
    const std::string link = usb ? " hid " : " tcp ";
    EXPECT_EQ(Count(lines, link + "  < "), 2u);
    EXPECT_EQ(Count(lines, "# late, discarded"), 1u);
    std::filesystem::remove(path);
}

INSTANTIATE_TEST_SUITE_P(Links, FrameTraceTest,
                         ::testing::Values(LinkKind::Usb, LinkKind::Ethernet), LinkName);

namespace {
// On Windows a death test's child is this program started again, with a process id of its
// own: the parent hands the trace's path down in the environment.
void SetCrashTraceForChild(const std::string& path) {
#ifdef _WIN32
    _putenv_s("PELLACOR_CRASH_TRACE", path.c_str());  // empty removes it
#else
    if (path.empty())
        unsetenv("PELLACOR_CRASH_TRACE");
    else
        setenv("PELLACOR_CRASH_TRACE", path.c_str(), 1);
#endif
}

[[noreturn]] void TraceTwoFramesAndCrash(const std::string& path) {
    std::string error;
    if (!EnableFrameTrace(path, error))
        std::_Exit(4);
    const Bytes status = {0x1C, 0x41, 0x50, 0x01};
    TraceFrame(TraceLink::Tcp, TraceDirection::Sent, status.data(), status.size());
    TraceFrame(TraceLink::Tcp, TraceDirection::Sent, status.data(), status.size());
    std::abort();
}
}  // namespace

TEST(FrameTraceCrashDeathTest, WhatIsBufferedIsWrittenOnACrashSignal) {
    std::string path = TracePath("crash");
    if (const char* handed = std::getenv("PELLACOR_CRASH_TRACE"); handed && *handed)
        path = handed;
    else
        SetCrashTraceForChild(path);
#ifdef _WIN32
    const auto aborted = ::testing::ExitedWithCode(3);  // what abort() ends a process with
#else
    const auto aborted = ::testing::KilledBySignal(SIGABRT);
#endif
    EXPECT_EXIT(TraceTwoFramesAndCrash(path), aborted, "");
    SetCrashTraceForChild("");
    EXPECT_EQ(Count(Lines(path), "# status"), 2u);
    std::filesystem::remove(path);
}

TEST(FrameTraceCrash, AnUnwritableFileIsRefusedWithItsReason) {
    std::string error;
    EXPECT_FALSE(EnableFrameTrace("/nonexistent-dir/trace", error));
    EXPECT_NE(error.find("/nonexistent-dir/trace"), std::string::npos);
    EXPECT_FALSE(FrameTraceOn());
}
