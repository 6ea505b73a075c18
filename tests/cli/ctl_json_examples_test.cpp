// The JSON documents scripts rely on, compared whole with the examples committed beside this
// test (the README points to them). A key renamed, a number turned into text or a value gone
// missing fails here. PELLACOR_WRITE_EXAMPLES=1 writes them anew from a run.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "tests/cli/ctl_process.h"

namespace {
using ctltest::RunCtl;

const std::string kExamples = PELLACOR_SOURCE_DIR "/tests/cli/json_examples/";

class CtlJsonExamples : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(m_lam.Started()) << m_lam.Error(); }
    // The run's document with what differs from run to run (ports, paths) put as words.
    nlohmann::json Document(std::vector<std::string> args) {
        std::vector<std::string> all = {"--json", "--tcp", m_lam.Tcp()};
        all.insert(all.end(), args.begin(), args.end());
        std::string out = RunCtl(all).out;
        for (const auto& [from, to] : {std::pair{"tcp:" + m_lam.Tcp(), std::string("TARGET")},
                                       std::pair{m_dir.Path().string(), std::string("DIR")}}) {
            for (std::size_t at; (at = out.find(from)) != std::string::npos;)
                out.replace(at, from.size(), to);
        }
        return nlohmann::json::parse(out);
    }
    void Check(const std::string& name, const nlohmann::json& doc) {
        const std::string path = kExamples + name + ".json";
        if (std::getenv("PELLACOR_WRITE_EXAMPLES")) {
            std::ofstream(path) << doc.dump(2) << "\n";
            return;
        }
        std::ifstream in(path);
        ASSERT_TRUE(in) << path;
        EXPECT_EQ(doc, nlohmann::json::parse(in)) << name << ":\n" << doc.dump(2);
    }
    std::string File(const std::string& name) const { return (m_dir.Path() / name).string(); }
    ctltest::TempDir m_dir;
    ctltest::SimulatedLaminators m_lam;
};

TEST_F(CtlJsonExamples, EveryCommandsDocumentKeepsItsShape) {
    Check("get", Document({"get", "parameter-setup", "buzzer"}));
    Check("info", Document({"info"}));
    Check("set", Document({"set", "heating-roller-temperature=170", "buzzer=close"}));
    Check("backup", Document({"backup", File("lam.json")}));
    ASSERT_EQ(RunCtl({"--tcp", m_lam.Tcp(), "set", "lcd-contrast=77"}).exit, 0);
    Check("diff", Document({"diff", File("lam.json")}));
    Check("restore", Document({"restore", File("lam.json"), "--dry-run"}));
    Check("send", Document({"send", "1c 72 49 01 00 00 00 00"}));
    Check("usage-error", Document({"set", "heating-roller-temperature=155abc"}));
}

TEST_F(CtlJsonExamples, StatusHasNumbersAndTheCardChannelWhereItIsRead) {
    m_lam.Sim().UpdateState(0, [](pellacor::sim::LaminatorState& s) {
        s.heatingRatePerSecond = 0;  // the readings hold still
        s.rollerTemp = 16000;
        s.environmentTemp = 2300;
        s.cardBits = 1;
    });
    Check("status-tcp", Document({"status"}));
    // Over USB the card channel is read too.
    std::string out = RunCtl({"--json", "--usb-sim", m_lam.Usb(), "status"}).out;
    const std::string from = "usb-sim:" + m_lam.Usb();
    for (std::size_t at; (at = out.find(from)) != std::string::npos;)
        out.replace(at, from.size(), "TARGET");
    Check("status-usb", nlohmann::json::parse(out));
}
}  // namespace
