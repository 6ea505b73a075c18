// report as a process: a strict XML parser reads the page, every parameter is in it, the
// marks are where they belong and nothing outside the page is referred to.
#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

#include <fstream>
#include <memory>
#include <sstream>

#include "cli/parameter_names.h"
#include "laminator/catalogue.h"
#include "laminator/status_csv.h"
#include "tests/cli/ctl_process.h"

namespace {
using ctltest::RunCtl;

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The page parsed with no recovery and no network: any fault of form fails the parse.
class XhtmlPage {
  public:
    explicit XhtmlPage(const std::string& text)
        : m_doc(xmlReadMemory(text.data(), static_cast<int>(text.size()), "report.html", nullptr,
                              XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING),
                xmlFreeDoc) {
        if (!m_doc)
            return;
        m_context.reset(xmlXPathNewContext(m_doc.get()));
        xmlXPathRegisterNs(m_context.get(), BAD_CAST "x", BAD_CAST "http://www.w3.org/1999/xhtml");
        xmlXPathRegisterNs(m_context.get(), BAD_CAST "svg", BAD_CAST "http://www.w3.org/2000/svg");
        xmlXPathRegisterNs(m_context.get(), BAD_CAST "xlink",
                           BAD_CAST "http://www.w3.org/1999/xlink");
    }
    bool WellFormed() const { return m_doc != nullptr; }
    // The texts of the nodes `path` selects.
    std::vector<std::string> Texts(const std::string& path) const {
        std::vector<std::string> texts;
        std::unique_ptr<xmlXPathObject, void (*)(xmlXPathObjectPtr)> found(
            xmlXPathEvalExpression(BAD_CAST path.c_str(), m_context.get()), xmlXPathFreeObject);
        if (!found || !found->nodesetval)
            return texts;
        for (int i = 0; i < found->nodesetval->nodeNr; ++i) {
            xmlChar* content = xmlNodeGetContent(found->nodesetval->nodeTab[i]);
            texts.emplace_back(content ? reinterpret_cast<const char*>(content) : "");
            xmlFree(content);
        }
        return texts;
    }

  private:
    struct FreeContext {
        void operator()(xmlXPathContextPtr c) const { xmlXPathFreeContext(c); }
    };
    std::unique_ptr<xmlDoc, void (*)(xmlDocPtr)> m_doc;
    std::unique_ptr<xmlXPathContext, FreeContext> m_context;
};

class CtlReport : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(m_lam.Started()) << m_lam.Error(); }
    std::vector<std::string> Args(std::vector<std::string> args) const {
        std::vector<std::string> all = {"--tcp", m_lam.Tcp()};
        all.insert(all.end(), args.begin(), args.end());
        return all;
    }
    std::string Path(const char* name) const { return (m_dir.Path() / name).string(); }
    // A backup, then the laminator changed: its contrast differs from the backup and its
    // roller set to 191 degrees, beyond the 185 the limits allow.
    void BackupThenChange() {
        ASSERT_EQ(RunCtl(Args({"backup", Path("base.json")})).exit, 0);
        m_lam.Sim().UpdateState(0, [](pellacor::sim::LaminatorState& s) {
            s.params.lcdContrast = 33;
            s.params.temperatureByte = 41;
        });
    }
    ctltest::TempDir m_dir;
    ctltest::SimulatedLaminators m_lam;
};

TEST_F(CtlReport, APageAStrictParserReadsWithEveryParameterAndItsMarks) {
    BackupThenChange();
    const ctltest::CtlRun run =
        RunCtl(Args({"report", Path("visit.html"), "--baseline", Path("base.json")}));
    ASSERT_EQ(run.exit, 0) << run.err;
    const std::string text = ReadFile(Path("visit.html"));
    const XhtmlPage page(text);
    ASSERT_TRUE(page.WellFormed()) << text.substr(0, 2000);

    const std::string rows = "//x:table[@class='parameters']/x:tbody/x:tr";
    EXPECT_EQ(page.Texts(rows).size(), Catalogue().size());
    for (const ParameterInfo& p : Catalogue())
        EXPECT_EQ(page.Texts(rows + "[@id='" + StableKey(p.name) + "']").size(), 1u) << p.name;
    // Out of range: only the roller temperature, with the limit message.
    const auto outOfRange = page.Texts(rows + "[contains(@class,'out-of-range')]/@id");
    ASSERT_EQ(outOfRange, std::vector<std::string>{"heating-roller-temperature"});
    const auto note = page.Texts(rows + "[@id='heating-roller-temperature']//x:div[@class='note']");
    ASSERT_EQ(note.size(), 1u);
    EXPECT_NE(note[0].find("Outside its limits"), std::string::npos);
    // Differences from the backup: old and new.
    const auto changed = page.Texts(rows + "[contains(@class,'changed')]/@id");
    EXPECT_EQ(changed, (std::vector<std::string>{"heating-roller-temperature", "lcd-contrast"}));
    EXPECT_EQ(page.Texts(rows + "[@id='lcd-contrast']//x:del"), std::vector<std::string>{"128"});
    EXPECT_EQ(page.Texts(rows + "[@id='lcd-contrast']//x:ins"), std::vector<std::string>{"33"});
    // The status over the visit: a chart with the roller's line.
    EXPECT_EQ(page.Texts("//svg:svg//svg:path[@class='roller']").size(), 1u);
}

TEST_F(CtlReport, ThePageRefersToNothingOutsideItself) {
    ASSERT_EQ(RunCtl(Args({"report", Path("visit.html")})).exit, 0);
    const std::string text = ReadFile(Path("visit.html"));
    const XhtmlPage page(text);
    ASSERT_TRUE(page.WellFormed());
    EXPECT_TRUE(page.Texts("//@src | //@href | //@xlink:href | //x:script | //x:link | //x:img | "
                           "//x:iframe | //x:object | //x:embed | //svg:image | //svg:use")
                    .empty());
    EXPECT_EQ(text.find("url("), std::string::npos);
    EXPECT_EQ(text.find("@import"), std::string::npos);
    // The only addresses are the two namespace names.
    std::string rest = text;
    for (const char* ns : {"http://www.w3.org/1999/xhtml", "http://www.w3.org/2000/svg"}) {
        for (std::size_t at; (at = rest.find(ns)) != std::string::npos;)
            rest.erase(at, std::string(ns).size());
    }
    EXPECT_EQ(rest.find("//"), std::string::npos);
    EXPECT_NE(text.find("@page{size:A4"), std::string::npos);
}

TEST_F(CtlReport, JsonHoldsTheSameContent) {
    BackupThenChange();
    const ctltest::CtlRun run =
        RunCtl(Args({"--json", "report", Path("visit.json"), "--baseline", Path("base.json")}));
    ASSERT_EQ(run.exit, 0) << run.err;
    const nlohmann::json doc = nlohmann::json::parse(ReadFile(Path("visit.json")));
    EXPECT_EQ(run.Json()["file"], Path("visit.json"));
    EXPECT_EQ(run.Json()["laminators"], doc["laminators"]);
    const nlohmann::json& params = doc["laminators"][0]["parameters"];
    ASSERT_EQ(params.size(), Catalogue().size());
    for (const nlohmann::json& p : params) {
        if (p["key"] == "heating-roller-temperature") {
            EXPECT_EQ(p["value"], "191");
            EXPECT_TRUE(p["out-of-range"].is_string());
            EXPECT_EQ(p["baseline"], "150");
        } else if (p["key"] == "lcd-contrast") {
            EXPECT_EQ(p["baseline"], "128");
            EXPECT_TRUE(p["out-of-range"].is_null());
        } else {
            EXPECT_TRUE(p["baseline"].is_null()) << p;
        }
    }
    EXPECT_GE(doc["laminators"][0]["readings"].size(), 1u);
}

TEST_F(CtlReport, WithNetworkTheSettingsOfTheSearchAreInIt) {
    const ctltest::CtlRun run =
        RunCtl({"--search-address", m_lam.SearchAddress(), "--tcp", m_lam.Tcp(), "--json", "report",
                Path("visit.json"), "--network"});
    ASSERT_EQ(run.exit, 0) << run.err;
    const nlohmann::json doc = run.Json();
    const nlohmann::json& network = doc["laminators"][0]["network"];
    EXPECT_EQ(network["ip-address"], "127.0.0.1") << network;
    EXPECT_EQ(network["method"], "static");
    EXPECT_TRUE(run.Json()["laminators"][0]["messages"].empty());
    // On the page under the window's labels, the method as the window names it.
    ASSERT_EQ(RunCtl({"--search-address", m_lam.SearchAddress(), "--tcp", m_lam.Tcp(), "report",
                      Path("visit.html"), "--network"})
                  .exit,
              0);
    const std::string page = ReadFile(Path("visit.html"));
    EXPECT_NE(page.find("<th>IP Get Method</th><td>Static</td>"), std::string::npos) << page;
    EXPECT_NE(page.find("<th>Static IP Address</th><td>127.0.0.1</td>"), std::string::npos);
    EXPECT_EQ(page.find("<th>ip-address</th>"), std::string::npos);
    // Without --network no search is sent.
    EXPECT_TRUE(RunCtl(Args({"--json", "report", Path("visit.json")}))
                    .Json()["laminators"][0]["network"]
                    .is_null());
}

TEST_F(CtlReport, TakesTheVisitFromAWatchsCsvAndRefusesABadOne) {
    std::string csv = StatusCsvHeader() + "\n";
    for (int i = 0; i < 5; ++i) {
        StatusSample s;
        s.timeMs = 1798761600000 + 2000 * i;
        s.rollerCenti = static_cast<std::uint16_t>(10000 + 1000 * i);
        s.state = 0x4D000101;
        s.error = 0x57000101;
        csv += StatusCsvRow(i == 2 ? StatusSample::Gap(s.timeMs) : s) + "\n";
    }
    std::ofstream(Path("watch.csv")) << csv;
    const ctltest::CtlRun run =
        RunCtl(Args({"--json", "report", Path("visit.json"), "--from-csv", Path("watch.csv")}));
    ASSERT_EQ(run.exit, 0) << run.err;
    const nlohmann::json doc = run.Json();
    const nlohmann::json& readings = doc["laminators"][0]["readings"];
    ASSERT_EQ(readings.size(), 5u);
    EXPECT_EQ(readings[0]["time"], "2027-01-01T00:00:00.000Z");
    EXPECT_EQ(readings[2]["gap"], true);

    std::ofstream(Path("bad.csv")) << StatusCsvHeader() << "\nnot a row\n";
    const ctltest::CtlRun bad =
        RunCtl(Args({"report", Path("visit2.html"), "--from-csv", Path("bad.csv")}));
    EXPECT_EQ(bad.exit, 2);
    EXPECT_NE(bad.err.find("bad.csv"), std::string::npos) << bad.err;
    EXPECT_NE(bad.err.find("line 2"), std::string::npos) << bad.err;
    EXPECT_FALSE(std::filesystem::exists(Path("visit2.html")));
    // A folder is no status file, and says so rather than "line 0: empty file".
    const ctltest::CtlRun folder =
        RunCtl(Args({"report", Path("visit2.html"), "--from-csv", m_dir.Path().string()}));
    EXPECT_EQ(folder.exit, 2);
    EXPECT_NE(folder.err.find("not a regular file"), std::string::npos) << folder.err;
}
}  // namespace
