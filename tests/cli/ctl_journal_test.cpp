// The service record through pellacorctl against the simulated laminator: what each
// operation leaves, a journal that cannot be used, several writers, export and import.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fstream>
#include <sstream>
#include <thread>

#include "journal/sha256.h"
#include "tests/cli/ctl_process.h"
#include "tests/support/tcp_delivery_probe.h"

namespace {
using ctltest::RunCtl;

std::string FileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class CtlJournal : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(m_lam.Started()) << m_lam.Error(); }
    std::string Journal() const { return (m_dir.Path() / "journal.sqlite").string(); }
    ctltest::CtlRun Ctl(std::vector<std::string> args, const std::string& journal = {}) {
        std::vector<std::string> all = {"--tcp", m_lam.Tcp(), "--json", "--journal",
                                        journal.empty() ? Journal() : journal};
        all.insert(all.end(), args.begin(), args.end());
        return RunCtl(all);
    }
    nlohmann::json Listing(std::vector<std::string> args, const std::string& journal = {}) {
        std::vector<std::string> all = {"--json", "--journal",
                                        journal.empty() ? Journal() : journal, "journal"};
        all.insert(all.end(), args.begin(), args.end());
        const ctltest::CtlRun run = RunCtl(all);
        EXPECT_EQ(run.exit, 0) << run.err;
        return run.exit == 0 ? run.Json() : nlohmann::json::object();
    }
    ctltest::TempDir m_dir;
    ctltest::SimulatedLaminators m_lam;
};

TEST_F(CtlJournal, EachOperationIsRecordedWithItsDetailsUnderTheSerial) {
    const ctltest::CtlRun info = Ctl({"info"});
    ASSERT_EQ(info.exit, 0) << info.err;
    const std::string serial = info.Json()["laminators"][0]["info"]["laminator-sn"];
    ASSERT_FALSE(serial.empty());
    const std::string backup = (m_dir.Path() / "b.json").string();
    for (const std::vector<std::string>& args : {std::vector<std::string>{"set", "buzzer=Close"},
                                                 {"backup", backup},
                                                 {"send", "1c 41 50 01 00 00 00 00"},
                                                 {"mode", "standard"},
                                                 {"reset", "--yes"},
                                                 {"reset", "--yes", "--no-verify"},
                                                 {"status", "--count", "2", "--interval", "0.1"}}) {
        const ctltest::CtlRun run = Ctl(args);
        EXPECT_EQ(run.exit, 0) << args[0] << ": " << run.err;
    }
    const nlohmann::json ops = Listing({})["operations"];
    std::vector<std::string> kinds;
    for (const auto& o : ops)
        kinds.push_back(o["kind"]);
    EXPECT_EQ(kinds, (std::vector<std::string>{"info", "set", "backup", "send", "mode", "reset",
                                               "reset"}));
    ASSERT_EQ(ops.size(), 7u);
    EXPECT_EQ(ops[0]["serial"], serial);
    EXPECT_EQ(ops[0]["laminator"], "sn:" + serial);
    EXPECT_EQ(ops[1]["details"]["assignments"][0], "buzzer=Close");
    EXPECT_TRUE(ops[1]["details"].contains("changes"));
    EXPECT_EQ(ops[2]["details"]["file"]["name"], backup);
    EXPECT_EQ(ops[2]["details"]["file"]["sha256"].get<std::string>().size(), 64u);
    EXPECT_EQ(ops[3]["details"]["sent"], "1c 41 50 01 00 00 00 00");
    EXPECT_FALSE(ops[3]["details"]["reply"].is_null());
    // Confirmed by the read-back only when one was asked for.
    EXPECT_EQ(ops[5]["result"], "done");
    EXPECT_EQ(ops[6]["result"], "sent");
    for (const auto& o : ops) {
        EXPECT_FALSE(o["user"].get<std::string>().empty());
        EXPECT_FALSE(o["version"].get<std::string>().empty());
        EXPECT_GE(o["duration-ms"].get<std::int64_t>(), 0);
    }
    EXPECT_EQ(Listing({"--kind", "reading"})["readings"].size(), 2u);
    EXPECT_EQ(Listing({"--kind", "reset", "--since", "1h"})["operations"].size(), 2u);
    EXPECT_EQ(Listing({"--until", "2000-01-01"})["operations"].size(), 0u);
}

TEST_F(CtlJournal, ReadingsTakenBeforeTheSerialJoinItInTheSameRun) {
    // A report watches the status first and reads the serial afterwards.
    const ctltest::CtlRun report =
        Ctl({"report", (m_dir.Path() / "r.json").string(), "--minutes", "0.02"});
    ASSERT_EQ(report.exit, 0) << report.err;
    const nlohmann::json laminators = Listing({"laminators"})["laminators"];
    ASSERT_EQ(laminators.size(), 1u) << laminators.dump();
    EXPECT_EQ(laminators[0]["laminator"].get<std::string>().rfind("sn:", 0), 0u);
    EXPECT_GE(laminators[0]["readings"].get<int>(), 1);
    EXPECT_EQ(laminators[0]["operations"], 1);
}

TEST_F(CtlJournal, AFirmwareDownloadKeepsTheFileItsSizeHashAndFrames) {
    const std::string file = (m_dir.Path() / "fw.bin").string();
    std::string content;
    for (int i = 0; content.size() < 20000; ++i)
        content += "S315" + std::to_string(100000 + i) + "\r\n";
    std::ofstream(file, std::ios::binary) << content;
    // Over TCP where the system cannot count what was acknowledged: sent, not confirmed.
    const bool confirmable = testsupport::TcpDeliveryCountKnown();
    const ctltest::CtlRun run = Ctl({"firmware", file});
    ASSERT_EQ(run.exit, confirmable ? 0 : 1) << run.err;
    const nlohmann::json ops = Listing({"--kind", "firmware"})["operations"];
    ASSERT_EQ(ops.size(), 1u);
    const nlohmann::json& details = ops[0]["details"];
    if (confirmable)
        EXPECT_EQ(ops[0]["result"], "done");
    else
        EXPECT_NE(ops[0]["result"], "done");
    EXPECT_EQ(details["file"]["name"], file);
    EXPECT_EQ(details["file"]["size"], content.size());
    EXPECT_EQ(details["file"]["sha256"], Sha256Hex(content));
    EXPECT_EQ(details["frames-sent"], details["frames"]);
    EXPECT_EQ(details["complete"], confirmable);
}

TEST_F(CtlJournal, NetworkSettingsAreRecordedBeforeAndAfterUnderTheMac) {
    const std::string mac = "02:50:4c:00:00:01";
    const ctltest::CtlRun run =
        RunCtl({"--search-address", m_lam.SearchAddress(), "--json", "--journal", Journal(),
                "netconfig", mac, "--name", "Room 4"});
    ASSERT_EQ(run.exit, 0) << run.err;
    const nlohmann::json ops = Listing({"--serial", "mac:" + mac})["operations"];
    ASSERT_EQ(ops.size(), 1u);
    EXPECT_EQ(ops[0]["kind"], "netconfig");
    EXPECT_EQ(ops[0]["result"], "done");
    EXPECT_EQ(ops[0]["details"]["after"]["name"], "Room 4");
    EXPECT_NE(ops[0]["details"]["before"]["name"], "Room 4");
}

TEST_F(CtlJournal, UnreachableLaminatorIsAFailureAndAGap) {
    const std::string nobody = "127.0.0.1:" + std::to_string(ctltest::FreeTcpPort());
    const auto unreached = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {"--tcp", nobody, "--timeout", "0.2", "--journal", Journal()});
        return RunCtl(args).exit;
    };
    EXPECT_EQ(unreached({"info"}), 3);
    EXPECT_EQ(unreached({"status", "--count", "1"}), 3);
    const nlohmann::json ops = Listing({})["operations"];
    ASSERT_EQ(ops.size(), 1u);
    EXPECT_EQ(ops[0]["result"], "unreachable");
    const nlohmann::json readings = Listing({"--kind", "reading"})["readings"];
    ASSERT_EQ(readings.size(), 1u);
    EXPECT_EQ(readings[0]["gap"], true);
}

// What the tool said is what the record keeps: a reset that went but that the silent
// laminator never confirmed is "sent", not "failed" and not "done".
TEST_F(CtlJournal, AResetSentButNotConfirmedIsRecordedAsSent) {
    m_lam.Sim().SetFaults({*pellacor::sim::ParseFault("silent@tcp", nullptr)});
    const ctltest::CtlRun run = Ctl({"--timeout", "0.2", "reset", "--yes"});
    EXPECT_EQ(run.exit, 1) << run.err;
    ASSERT_EQ(run.Json()["laminators"][0]["reset"], true) << run.out;
    const nlohmann::json ops = Listing({})["operations"];
    ASSERT_EQ(ops.size(), 1u) << ops.dump();
    EXPECT_EQ(ops[0]["result"], "sent");
}

TEST_F(CtlJournal, AJournalThatCannotBeUsedIsSaidOnceAndTheCommandStillWorks) {
    const std::string corrupt = (m_dir.Path() / "corrupt.sqlite").string();
    const std::string garbage(8192, 'z');
    std::ofstream(corrupt, std::ios::binary) << garbage;
    const ctltest::CtlRun run = Ctl({"info"}, corrupt);
    EXPECT_EQ(run.exit, 0) << run.err;
    EXPECT_EQ(run.Json()["exit"], 0);
    // Standard error holds JSON lines: the path as a JSON string has its backslashes doubled.
    const std::string quoted = nlohmann::json(corrupt).dump();
    const std::string named = quoted.substr(1, quoted.size() - 2);
    std::size_t said = 0;
    for (std::size_t at = 0; (at = run.err.find(named, at)) != std::string::npos; ++at)
        ++said;
    EXPECT_EQ(said, 1u) << run.err;
    EXPECT_EQ(FileText(corrupt), garbage);  // left as it was

    // The listing says why it has nothing to list.
    const ctltest::CtlRun list = RunCtl({"--journal", corrupt, "journal"});
    EXPECT_EQ(list.exit, 1);
    EXPECT_NE(list.err.find("not a database"), std::string::npos) << list.err;

    EXPECT_EQ(RunCtl({"--journal", corrupt, "--no-journal", "journal"}).exit, 2);
}

TEST_F(CtlJournal, TwoProcessesWriteAtOnceAndNothingIsLost) {
    std::vector<std::thread> runs;
    std::vector<int> exits(2, -1);
    for (int i = 0; i < 2; ++i)
        runs.emplace_back([&, i] {
            exits[i] = Ctl({"status", "--count", "15", "--interval", "0.05"}).exit;
        });
    for (std::thread& t : runs)
        t.join();
    EXPECT_EQ(exits, (std::vector<int>{0, 0}));
    EXPECT_EQ(Listing({"--kind", "reading"})["readings"].size(), 30u);
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(Journal().c_str(), &db), SQLITE_OK);
    sqlite3_stmt* check = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &check, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_step(check), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(check, 0)), "ok");
    sqlite3_finalize(check);
    sqlite3_close(db);
}

TEST_F(CtlJournal, ListingOrExportingAJournalThatIsNotThereSaysSoAndMakesNone) {
    const std::string absent = (m_dir.Path() / "none.sqlite").string();
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"journal"},
          {"journal", "laminators"},
          {"journal", "--kind", "reading", "--csv"},
          {"journal", "export", (m_dir.Path() / "out.jsonl").string()}}) {
        std::vector<std::string> all = {"--journal", absent};
        all.insert(all.end(), args.begin(), args.end());
        const ctltest::CtlRun run = RunCtl(all);
        EXPECT_EQ(run.exit, 1) << args.back();
        EXPECT_NE(run.err.find("There is no service record at " + absent), std::string::npos)
            << run.err;
    }
    EXPECT_FALSE(std::filesystem::exists(absent));
    EXPECT_FALSE(std::filesystem::exists(m_dir.Path() / "out.jsonl"));
}

TEST_F(CtlJournal, AnExportImportsElsewhereAndAForeignFileIsRefused) {
    ASSERT_EQ(Ctl({"info"}).exit, 0);
    ASSERT_EQ(Ctl({"status", "--count", "3", "--interval", "0.05"}).exit, 0);
    const nlohmann::json laminators = Listing({"laminators"})["laminators"];
    ASSERT_EQ(laminators.size(), 2u);  // the serial, and the link the status readings came by
    const std::string serial = laminators[1]["serial"];
    const std::string file = (m_dir.Path() / "record.jsonl").string();
    ASSERT_EQ(Listing({"--serial", serial, "export", file})["records"], 1);

    const std::string other = (m_dir.Path() / "other.sqlite").string();
    EXPECT_EQ(Listing({"import", file}, other)["records"], 1);
    EXPECT_EQ(Listing({"import", file}, other)["records"], 0);  // nothing twice
    const nlohmann::json imported = Listing({}, other)["operations"];
    ASSERT_EQ(imported.size(), 1u);
    EXPECT_EQ(imported[0]["serial"], serial);
    EXPECT_EQ(imported[0]["details"], Listing({})["operations"][0]["details"]);

    // A backup is JSON too, but no service record: refused, nothing added, the file kept.
    const std::string backup = (m_dir.Path() / "b.json").string();
    ASSERT_EQ(Ctl({"backup", backup}).exit, 0);
    const std::string before = FileText(backup);
    const ctltest::CtlRun refused = RunCtl({"--journal", other, "journal", "import", backup});
    EXPECT_EQ(refused.exit, 1);
    EXPECT_NE(refused.err.find("is not a Pellacor service record"), std::string::npos)
        << refused.err;
    EXPECT_EQ(FileText(backup), before);
    EXPECT_EQ(Listing({}, other)["operations"].size(), 1u);
}
}  // namespace
