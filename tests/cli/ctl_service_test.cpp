// status, send, mode, reset and firmware as processes.
#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>
#include <thread>

#include "tests/cli/ctl_process.h"
#include "tests/support/tcp_delivery_probe.h"

namespace {
using ctltest::RunCtl;

class CtlService : public ::testing::TestWithParam<bool> {
  protected:
    void SetUp() override { ASSERT_TRUE(m_lam.Started()) << m_lam.Error(); }
    bool Usb() const { return GetParam(); }
    std::vector<std::string> Args(std::vector<std::string> args) const {
        std::vector<std::string> all = Usb() ? std::vector<std::string>{"--usb-sim", m_lam.Usb()}
                                             : std::vector<std::string>{"--tcp", m_lam.Tcp()};
        all.push_back("--json");
        all.insert(all.end(), args.begin(), args.end());
        return all;
    }
    ctltest::CtlRun Ctl(std::vector<std::string> args) { return RunCtl(Args(std::move(args))); }
    // The capture once the laminator has taken in every frame it was sent.
    pellacor::sim::FirmwareCapture SettledFirmware() {
        pellacor::sim::FirmwareCapture last = m_lam.Sim().Firmware(0);
        for (int quiet = 0, i = 0; quiet < 5 && i < 400; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            pellacor::sim::FirmwareCapture now = m_lam.Sim().Firmware(0);
            quiet = now.data.size() == last.data.size() ? quiet + 1 : 0;
            last = std::move(now);
        }
        return last;
    }
    // Firmware-like content: S-record-shaped text in CRLF lines, cut at any size, so it is
    // named .bin: the format check is for .mot files.
    std::string FirmwareFile(std::size_t size) {
        static const char digits[] = "0123456789ABCDEF";
        std::mt19937 random(7);
        m_firmware.clear();
        while (m_firmware.size() < size) {
            std::string line = "S315";
            for (int i = 0; i < 72; ++i)
                line += digits[random() % 16];
            line += "\r\n";
            m_firmware.insert(m_firmware.end(), line.begin(), line.end());
        }
        m_firmware.resize(size);
        const std::string path = (m_dir.Path() / "fw.bin").string();
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(m_firmware.data()),
                   static_cast<std::streamsize>(size));
        return path;
    }
    ctltest::TempDir m_dir;
    ctltest::SimulatedLaminators m_lam;
    std::vector<uint8_t> m_firmware;
};

TEST_P(CtlService, StatusGivesTheReadings) {
    const ctltest::CtlRun run = Ctl({"status"});
    ASSERT_EQ(run.exit, 0) << run.err;
    const nlohmann::json doc = run.Json();
    const nlohmann::json& status = doc["laminators"][0]["status"];
    for (const char* key : {"roller-temperature", "environment-temperature", "state", "error"})
        EXPECT_TRUE(status.contains(key)) << key;
    // The card channel is read over USB only; over TCP it is null.
    EXPECT_EQ(status["card-channel"].is_string(), Usb());
    EXPECT_TRUE(status["environment-temperature"].is_number_integer());
}

TEST_P(CtlService, StatusWatchGivesOneObjectPerReadingUntilInterrupted) {
    bool signalled = false;
    const ctltest::CtlRun run =
        RunCtl(Args({"status", "--watch", "0.2"}),
               [&](const ctltest::CtlRun& sofar, const ctltest::CtlChild& child) {
                   if (!signalled && std::count(sofar.out.begin(), sofar.out.end(), '\n') >= 3) {
                       child.Interrupt();
                       signalled = true;
                   }
               });
    ASSERT_TRUE(signalled) << run.err;
    EXPECT_EQ(run.exit, 0) << run.err;
    std::istringstream lines(run.out);
    std::string line;
    std::vector<nlohmann::json> objects;
    while (std::getline(lines, line))
        objects.push_back(nlohmann::json::parse(line));
    // One line per reading, then the summary line.
    ASSERT_GE(objects.size(), 4u);
    EXPECT_EQ(objects.back()["command"], "status");
    EXPECT_EQ(objects.back()["exit"], 0);
    objects.pop_back();
    for (const nlohmann::json& reading : objects) {
        EXPECT_EQ(reading["exit"], 0);
        EXPECT_TRUE(reading["status"].contains("roller-temperature"));
    }
}

TEST_P(CtlService, SendPrintsTheReplyInHexadecimal) {
    // The status query; its reply starts with the command's own first bytes on both links.
    const ctltest::CtlRun run = Ctl({"send", "1c 41 50 01 00 00 00 00"});
    ASSERT_EQ(run.exit, 0) << run.err;
    const std::string reply = run.Json()["laminators"][0]["reply"];
    EXPECT_EQ(reply.rfind(Usb() ? "a5" : "1c 41 50 01", 0), 0u) << reply;
}

TEST_P(CtlService, ModeStandardSwitches) {
    m_lam.Sim().UpdateState(0, [](pellacor::sim::LaminatorState& st) { st.ejectMode = 2; });
    const ctltest::CtlRun run = Ctl({"mode", "standard"});
    ASSERT_EQ(run.exit, 0) << run.err;
    if (Usb()) {
        EXPECT_NE(run.err.find("Mode switch successful !"), std::string::npos);
    }
    EXPECT_EQ(m_lam.Sim().State(0).ejectMode, 0);
}

TEST_P(CtlService, ResetPutsTheFactoryParametersBack) {
    const nlohmann::json before = Ctl({"get", "lcd-contrast"}).Json();
    ASSERT_EQ(Ctl({"set", "lcd-contrast=33"}).exit, 0);
    EXPECT_EQ(Ctl({"reset"}).exit, 2);  // not confirmed
    const ctltest::CtlRun run = Ctl({"reset", "--yes"});
    ASSERT_EQ(run.exit, 0) << run.err;
    const nlohmann::json after = Ctl({"get", "lcd-contrast"}).Json();
    EXPECT_EQ(after["laminators"][0]["parameters"][0]["value"],
              before["laminators"][0]["parameters"][0]["value"]);
}

TEST_P(CtlService, FirmwareOfOneMebibyteArrivesByteForByte) {
    const std::string file = FirmwareFile(1024 * 1024);
    // Over TCP where the system cannot count what was acknowledged: sent, not confirmed.
    const bool confirmable = Usb() || testsupport::TcpDeliveryCountKnown();
    const ctltest::CtlRun run = Ctl({"firmware", file});
    ASSERT_EQ(run.exit, confirmable ? 0 : 1) << run.err;
    const nlohmann::json doc = run.Json();
    const nlohmann::json& entry = doc["laminators"][0];
    EXPECT_EQ(entry["complete"], confirmable);
    EXPECT_EQ(entry["confirmed"], confirmable);
    EXPECT_EQ(entry["frames-sent"], entry["frames"]);
    EXPECT_EQ(entry["bytes"], 1024 * 1024);
    // JSON progress objects on standard error, the last at 100 percent; a transfer not
    // confirmed never shows 100 percent and ends with that message instead.
    const std::size_t last = run.err.rfind("{\"");
    ASSERT_NE(last, std::string::npos) << run.err;
    const nlohmann::json progress = nlohmann::json::parse(run.err.substr(last));
    if (confirmable) {
        EXPECT_EQ(progress["percent"], 100) << run.err;
    } else {
        EXPECT_EQ(progress["message"], "Download sent: " + entry["frames"].dump() + " of " +
                                           entry["frames"].dump() +
                                           " frames sent, not confirmed by the laminator.");
        EXPECT_EQ(run.err.find("\"percent\":100"), std::string::npos) << run.err;
    }
    EXPECT_EQ(progress["target"], entry["target"]);
    const pellacor::sim::FirmwareCapture got = SettledFirmware();
    ASSERT_EQ(got.data.size(), m_firmware.size());
    EXPECT_TRUE(got.data == m_firmware);
}

TEST_P(CtlService, CtrlCEndsADownloadAtAFrameBoundaryAndSaysHowFar) {
    const std::string file = FirmwareFile(48 * 1024 * 1024);
    bool signalled = false;
    const ctltest::CtlRun run =
        RunCtl(Args({"firmware", file}),
               [&](const ctltest::CtlRun& sofar, const ctltest::CtlChild& child) {
                   if (!signalled && sofar.err.find("\"percent\":10") != std::string::npos) {
                       child.Interrupt();
                       signalled = true;
                   }
               });
    ASSERT_TRUE(signalled) << run.err;
    EXPECT_EQ(run.exit, 130);
    EXPECT_NE(run.err.find("Download stopped: "), std::string::npos) << run.err;
    const nlohmann::json doc = run.Json();
    const int sent = doc["laminators"][0]["frames-sent"];
    EXPECT_LT(sent, doc["laminators"][0]["frames"].get<int>());
    EXPECT_EQ(doc["laminators"][0]["bytes-sent"], static_cast<std::size_t>(sent) * 62);
    // What the laminator took is a leading part of the file, whole frames only. Over TCP the
    // count is what it had acknowledged at the stop; frames still on the wire then may land.
    const pellacor::sim::FirmwareCapture got = SettledFirmware();
    if (Usb()) {
        EXPECT_EQ(got.data.size(), static_cast<std::size_t>(sent) * 62);
    } else {
        EXPECT_GE(got.data.size(), static_cast<std::size_t>(sent) * 62);
        EXPECT_LE(got.data.size(),
                  doc["laminators"][0]["frames-handed-over"].get<std::size_t>() * 62);
    }
    EXPECT_TRUE(std::equal(got.data.begin(), got.data.end(), m_firmware.begin()));
}

// The printing-class path carries the firmware in raw 64-byte blocks and says it is done.
using CtlPrinterClass = CtlService;
TEST_P(CtlPrinterClass, FirmwareGoesInRawBlocksAndReadsAreRefused) {
    const std::string file = FirmwareFile(64 * 1000 + 10);
    const ctltest::CtlRun run = RunCtl({"--usb-sim-printer", m_lam.Printer(), "firmware", file});
    ASSERT_EQ(run.exit, 0) << run.err;
    EXPECT_NE(run.err.find("Download successfully, please re-open!"), std::string::npos);
    // Every block is 64 bytes: the last one is the file's rest and zeros.
    std::vector<uint8_t> blocks = m_firmware;
    blocks.resize((m_firmware.size() / 64 + 1) * 64, 0);
    const pellacor::sim::FirmwareCapture got = SettledFirmware();
    ASSERT_EQ(got.data.size(), blocks.size());
    EXPECT_TRUE(got.data == blocks);
    // Reads are not carried on that path: refused before anything is sent.
    m_lam.Sim().ClearLog();
    EXPECT_EQ(RunCtl({"--usb-sim-printer", m_lam.Printer(), "get"}).exit, 2);
    EXPECT_EQ(m_lam.FramesReceived(), 0);
}

INSTANTIATE_TEST_SUITE_P(Links, CtlService, ::testing::Values(false, true),
                         [](const auto& p) { return p.param ? "Usb" : "Tcp"; });
INSTANTIATE_TEST_SUITE_P(Printer, CtlPrinterClass, ::testing::Values(false));
}  // namespace
