// pellacorctl firmware over TCP counts what the laminator acknowledged: a slow but steady
// reader finishes, and a stopped transfer does not count what sat in this PC's socket.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>

#include "tests/cli/ctl_process.h"
#include "tests/support/paced_reader_peer.h"

namespace {
using ctltest::CtlRun;
using ctltest::RunCtl;

std::string FirmwareFile(const ctltest::TempDir& dir, std::size_t size) {
    const std::string path = (dir.Path() / "fw.bin").string();
    std::ofstream(path, std::ios::binary) << std::string(size, 'F');
    return path;
}

TEST(CtlFirmwareTaken, ALaminatorReadingTenKilobytesASecondCompletesTheDownload) {
    ctltest::TempDir dir;
    PacedReaderPeer peer(512, std::chrono::milliseconds(50));
    // 41 KB of frames: four seconds at this pace, well past the last frame going out.
    const std::string file = FirmwareFile(dir, 40000);
    const CtlRun run = RunCtl({"--tcp", peer.Address(), "--json", "firmware", file});
    peer.Finish();
    EXPECT_EQ(run.exit, 0) << run.err;
    const nlohmann::json entry = run.Json()["laminators"][0];
    EXPECT_EQ(entry["complete"], true);
    EXPECT_EQ(entry["frames-sent"], entry["frames"]);
    EXPECT_EQ(entry["bytes-sent"], 40000);
    EXPECT_EQ(peer.Received(), entry["frames"].get<std::size_t>() * 64);
}

TEST(CtlFirmwareTaken, AStoppedDownloadCountsOnlyWhatTheLaminatorAcknowledged) {
    ctltest::TempDir dir;
    PacedReaderPeer peer(0, std::chrono::milliseconds(10));
    const std::string file = FirmwareFile(dir, 3000000);
    bool signalled = false;
    const auto started = std::chrono::steady_clock::now();
    const CtlRun run =
        RunCtl({"--tcp", peer.Address(), "--json", "firmware", file},
               [&](const CtlRun& sofar, const ctltest::CtlChild& child) {
                   if (signalled || sofar.err.find("\"percent\"") == std::string::npos ||
                       std::chrono::steady_clock::now() - started < std::chrono::milliseconds(500))
                       return;
                   child.Interrupt();
                   signalled = true;
               });
    // Everything the peer's side acknowledged is still in its buffer: read it all now.
    peer.Finish();
    ASSERT_TRUE(signalled) << run.err;
    EXPECT_EQ(run.exit, 130) << run.err;
    const nlohmann::json entry = run.Json()["laminators"][0];
    const int sent = entry["frames-sent"];
    EXPECT_LE(static_cast<std::size_t>(sent) * 64, peer.Received());
    EXPECT_EQ(entry["bytes-sent"], sent * 62);
    // The socket took far more than the peer did; that count has its own name.
    EXPECT_GT(entry.value("frames-handed-over", -1), sent);
    const std::regex stopped("Download stopped: ([0-9]+) of ([0-9]+) frames sent\\.");
    std::smatch m;
    ASSERT_TRUE(std::regex_search(run.err, m, stopped)) << run.err;
    EXPECT_EQ(std::stoi(m[1]), sent);
    // Nothing queued here went out after the stop: the laminator has what it acknowledged
    // and at most what was on the wire then.
    EXPECT_LT(peer.Received(), 64u * 1024);
    EXPECT_LT(static_cast<std::size_t>(sent) * 64, 64u * 1024);
}

}  // namespace
