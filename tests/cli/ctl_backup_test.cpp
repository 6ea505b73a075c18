// backup, diff and restore as processes: a change is seen and put back; a hostile file is
// refused before anything is sent.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <fstream>

#include "tests/cli/ctl_process.h"

namespace {
using ctltest::RunCtl;

class CtlBackup : public ::testing::TestWithParam<bool> {
  protected:
    void SetUp() override { ASSERT_TRUE(m_lam.Started()) << m_lam.Error(); }
    ctltest::CtlRun Ctl(std::vector<std::string> args) {
        std::vector<std::string> all = GetParam()
                                           ? std::vector<std::string>{"--usb-sim", m_lam.Usb()}
                                           : std::vector<std::string>{"--tcp", m_lam.Tcp()};
        all.push_back("--json");
        all.insert(all.end(), args.begin(), args.end());
        return RunCtl(all);
    }
    std::string File(const std::string& name) const { return (m_dir.Path() / name).string(); }
    void Write(const std::string& name, const std::string& text) const {
        std::ofstream(File(name), std::ios::binary) << text;
    }
    static nlohmann::json Differences(const ctltest::CtlRun& run) {
        return run.Json()["laminators"][0]["differences"];
    }
    ctltest::TempDir m_dir;
    ctltest::SimulatedLaminators m_lam;
};

TEST_P(CtlBackup, BackupChangeDiffRestoreDiff) {
    const std::string file = File("lam.json");
    ctltest::CtlRun run = Ctl({"backup", file});
    ASSERT_EQ(run.exit, 0) << run.err;
    {
        std::ifstream in(file);
        const nlohmann::json doc = nlohmann::json::parse(in);
        EXPECT_EQ(doc["format"], "pellacor-backup");
        EXPECT_EQ(doc["version"], 1);
        EXPECT_FALSE(doc["model"].get<std::string>().empty());
        for (const char* key : {"serial-number", "main-version", "main-boot", "model-id"})
            EXPECT_TRUE(doc["identity"].contains(key)) << key;
        EXPECT_EQ(doc["parameters"].size(), 30u);
    }
    ASSERT_EQ(Ctl({"set", "lcd-contrast=77", "laminate-feed-speed=30"}).exit, 0);

    run = Ctl({"diff", file});
    ASSERT_EQ(run.exit, 1) << run.err;
    nlohmann::json diffs = Differences(run);
    ASSERT_EQ(diffs.size(), 2u) << diffs.dump();
    for (const auto& d : diffs) {
        for (const char* key : {"key", "name", "group", "laminator", "backup"})
            EXPECT_TRUE(d.contains(key)) << key;
    }
    EXPECT_EQ(diffs[0]["key"], "laminate-feed-speed");
    EXPECT_EQ(diffs[0]["laminator"], 30);
    EXPECT_EQ(diffs[1]["key"], "lcd-contrast");
    EXPECT_EQ(diffs[1]["laminator"], 77);

    run = Ctl({"restore", file, "--dry-run"});
    ASSERT_EQ(run.exit, 0) << run.err;
    EXPECT_EQ(Differences(run).size(), 2u);
    EXPECT_EQ(Differences(Ctl({"diff", file})).size(), 2u);  // a dry run writes nothing

    run = Ctl({"restore", file});
    ASSERT_EQ(run.exit, 0) << run.err;
    EXPECT_TRUE(Differences(Ctl({"diff", file})).empty());
}

TEST_P(CtlBackup, NetworkSettingsAndAnotherModelNeedTheirOptions) {
    const std::string file = File("lam.json");
    ASSERT_EQ(Ctl({"backup", file}).exit, 0);
    std::ifstream in(file);
    nlohmann::json doc = nlohmann::json::parse(in);
    doc["parameters"]["time-out"] = "45";
    doc["model"] = "Another model";
    Write("other.json", doc.dump());
    m_lam.Sim().ClearLog();

    ctltest::CtlRun run = Ctl({"restore", File("other.json")});
    EXPECT_EQ(run.exit, 2);
    EXPECT_NE(run.err.find("--force"), std::string::npos) << run.err;
    EXPECT_EQ(m_lam.ParameterWrites(), 0);

    run = Ctl({"restore", File("other.json"), "--force"});
    EXPECT_EQ(run.exit, 0) << run.err;
    EXPECT_EQ(run.Json()["laminators"][0]["skipped"].size(), 1u);
    EXPECT_EQ(m_lam.ParameterWrites(), 0);  // only the network value differed
}

TEST_P(CtlBackup, AHostileFileIsRefusedAndNothingIsSent) {
    const std::string valid = R"({"format":"pellacor-backup","version":1,"model":"x",)"
                              R"("parameters":{"buzzer":"Open"}})";
    const std::pair<const char*, std::string> files[] = {
        {"types.json", R"({"format":"pellacor-backup","version":1,"model":"x",)"
                       R"("parameters":{"buzzer":["Open"]}})"},
        {"huge.json", R"({"format":"pellacor-backup","version":1,"model":"x",)"
                      R"("parameters":{"buzzer":")" +
                          std::string(200000, 'x') + "\"}}"},
        {"unknown.json", R"({"format":"pellacor-backup","version":1,"model":"x",)"
                         R"("parameters":{"self-destruct":"1"}})"},
        {"truncated.json", valid.substr(0, valid.size() - 5)},
        {"choice.json", R"({"format":"pellacor-backup","version":1,"model":"x",)"
                        R"("parameters":{"buzzer":"Loud"}})"},
    };
    for (const auto& [name, text] : files) {
        Write(name, text);
        const ctltest::CtlRun run = Ctl({"restore", File(name), "--force"});
        EXPECT_EQ(run.exit, 2) << name;
        EXPECT_NE(run.err.find("backup file"), std::string::npos) << name << ": " << run.err;
        EXPECT_LT(run.err.size(), 300u) << name;
    }
    EXPECT_EQ(Ctl({"restore", File("missing.json")}).exit, 2);
    EXPECT_EQ(m_lam.FramesReceived(), 0);
}

TEST_P(CtlBackup, FileErrorsNameTheFileAndTheSystemsReason) {
    const std::string missing = File("no-such-folder/lam.json");
    ctltest::CtlRun run = Ctl({"backup", missing});
    EXPECT_EQ(run.exit, 1);
    const std::string message = run.Json()["laminators"][0]["messages"][0];
    EXPECT_NE(message.find(missing), std::string::npos) << message;
    EXPECT_NE(message.find("No such file or directory"), std::string::npos) << message;

    const std::string fifo = File("fifo");
#ifdef _WIN32
    // No named pipe lives among Windows files: a folder is not a regular file either.
    ASSERT_TRUE(std::filesystem::create_directory(fifo));
#else
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
#endif
    run = Ctl({"diff", fifo});  // would block on open if it were read
    EXPECT_EQ(run.exit, 2);
    EXPECT_NE(run.Json()["messages"][0].get<std::string>().find("not a regular file"),
              std::string::npos)
        << run.out;
}

INSTANTIATE_TEST_SUITE_P(Links, CtlBackup, ::testing::Values(false, true),
                         [](const auto& p) { return p.param ? "Usb" : "Tcp"; });
}  // namespace
