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
    // The run's document with what differs from run to run (ports, paths) put as words, in
    // its strings as parsed, so a Windows path's escaped backslashes do not matter.
    nlohmann::json Document(std::vector<std::string> args) {
        std::vector<std::string> all = {"--json", "--tcp", m_lam.Tcp()};
        all.insert(all.end(), args.begin(), args.end());
        nlohmann::json doc = nlohmann::json::parse(RunCtl(all).out);
        PutWords(doc, "tcp:" + m_lam.Tcp());
        return doc;
    }
    void PutWords(nlohmann::json& doc, const std::string& target) const {
        if (doc.is_structured()) {
            for (nlohmann::json& part : doc)
                PutWords(part, target);
            return;
        }
        if (!doc.is_string())
            return;
        std::string text = doc;
        const std::string dir = m_dir.Path().string();
        for (std::size_t at; (at = text.find(target)) != std::string::npos;)
            text.replace(at, target.size(), "TARGET");
        for (std::size_t at; (at = text.find(dir)) != std::string::npos;) {
            text.replace(at, dir.size(), "DIR");
            // A file in it the way the examples write it, with a forward slash.
            if (at + 3 < text.size() && text[at + 3] == '\\')
                text[at + 3] = '/';
        }
        doc = text;
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
    nlohmann::json usb =
        nlohmann::json::parse(RunCtl({"--json", "--usb-sim", m_lam.Usb(), "status"}).out);
    PutWords(usb, "usb-sim:" + m_lam.Usb());
    Check("status-usb", usb);
}
}  // namespace
