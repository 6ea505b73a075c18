// The Service record window offscreen, over a journal the test writes: the operations
// listed newest first, filtered by kind and by text, the chart of the period chosen with
// the operations as marks, and a clear line where there is nothing to show.
#include "qt/service_record_window.h"

#include <gtest/gtest.h>

#include <QTableWidget>

#include "journal/journal_db.h"
#include "qt/status_chart_widget.h"
#include "tests/journal/journal_test_folder.h"
#include "tests/qt/qt_test_support.h"

using qthost_test::App;
using qthost_test::PumpUntil;

namespace {
constexpr std::int64_t kMinute = 60000;
constexpr std::int64_t kDay = 24 * 60 * kMinute;

OperationRecord Op(std::int64_t timeMs, const std::string& kind, const std::string& result,
                   const std::string& details, const std::string& message = {}) {
    OperationRecord r;
    r.timeMs = timeMs;
    r.kind = kind;
    r.result = result;
    r.details = details;
    r.message = message;
    return r;
}

class ServiceRecordWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        App();
        m_path = (m_folder.Path() / "journal.sqlite").string();
        std::string error;
        std::unique_ptr<JournalDb> db = JournalDb::Open(m_path, error);
        ASSERT_NE(db, nullptr) << error;
        const std::int64_t run = *db->NewRun();
        LaminatorIdentity identity;
        identity.serial = "SN1";
        const std::int64_t id = *db->Laminator(identity);
        const std::int64_t now = NowMs();
        // Two within the last hour, one three days ago.
        ASSERT_TRUE(db->AddOperation(
            id, run,
            Op(now - 2 * kMinute, "set", "sent",
               R"({"changes":[{"name":"HeatingRollerTemperature","old":"150","new":"170"}]})")));
        ASSERT_TRUE(db->AddOperation(
            id, run,
            Op(now - 20 * kMinute, "firmware", "failed",
               R"({"file":{"name":"fw.mot","size":4000,"sha256":"ab12"},"frames":66,)"
               R"("acknowledged":3})",
               "Download failed: the laminator took only 3 of 66 frames!")));
        ASSERT_TRUE(db->AddOperation(id, run, Op(now - 3 * kDay, "reset", "sent", "{}")));
        // Readings every 2 s over the last half hour, and thinned minutes three days back.
        for (std::int64_t t = now - 30 * kMinute; t < now; t += 2000) {
            StoredReading r;
            r.sample.timeMs = t;
            r.sample.rollerCenti = 15000;
            r.sample.environmentCenti = 2500;
            ASSERT_TRUE(db->AddReading(id, run, r));
        }
        for (std::int64_t t = now - 3 * kDay; t < now - 3 * kDay + 60 * kMinute; t += kMinute) {
            StoredReading r;
            r.sample.timeMs = t;
            r.spanMs = kMinute;
            r.sample.rollerCenti = r.rollerMax = 16000;
            r.rollerMin = 14000;
            r.sample.environmentCenti = r.environmentMin = r.environmentMax = 2400;
            ASSERT_TRUE(db->AddReading(id, run, r));
        }
    }

    std::unique_ptr<ServiceRecordWindow> Open(const std::string& path, const std::string& who) {
        auto window = std::make_unique<ServiceRecordWindow>(
            ServiceRecordSource{[path] { return path; }, [who] { return who; }, {}});
        window->setAttribute(Qt::WA_DeleteOnClose, false);
        window->show();
        EXPECT_TRUE(PumpUntil([&] { return !window->Loading(); }, std::chrono::seconds(20)));
        return window;
    }

    static int VisibleRows(const ServiceRecordWindow& w) {
        int n = 0;
        for (int row = 0; row < w.Table()->rowCount(); ++row)
            n += w.Table()->isRowHidden(row) ? 0 : 1;
        return n;
    }

    JournalTestFolder m_folder;
    std::string m_path;
};
}  // namespace

TEST_F(ServiceRecordWindowTest, ListsTheOperationsOfThePeriodNewestFirstWithTheirDetails) {
    auto w = Open(m_path, "SN1");
    EXPECT_EQ(w->PeriodMinutes(), 24 * 60);
    ASSERT_EQ(w->Table()->rowCount(), 2);  // the reset is older than a day
    EXPECT_EQ(w->Table()->item(0, 1)->text(), "Parameters written");
    EXPECT_EQ(w->Table()->item(0, 3)->text(), "HeatingRollerTemperature: 150 → 170");
    EXPECT_EQ(w->Table()->item(1, 2)->text(), "failed");
    EXPECT_TRUE(w->Table()->item(1, 3)->text().contains("SHA-256 ab12"));
    EXPECT_TRUE(w->Table()->item(1, 3)->text().contains("3 of 66 frames acknowledged"));
    EXPECT_EQ(w->Chart()->OperationMarkCount(), 2);
    EXPECT_FALSE(w->Chart()->ShowsNoReadings());
    EXPECT_TRUE(w->StatusText().startsWith("2 of 2 operations")) << w->StatusText().toStdString();

    w->SetKindFilter("firmware");
    EXPECT_EQ(VisibleRows(*w), 1);
    EXPECT_FALSE(w->Table()->isRowHidden(1));
    w->SetKindFilter({});
    w->SetTextFilter("170");
    EXPECT_EQ(VisibleRows(*w), 1);
    EXPECT_FALSE(w->Table()->isRowHidden(0));
    w->SetTextFilter("nothing like it");
    EXPECT_EQ(VisibleRows(*w), 0);
}

TEST_F(ServiceRecordWindowTest, APeriodSpansTheThinnedReadingsAndOnlyTheLatestChoiceIsShown) {
    auto w = Open(m_path, "SN1");
    // Chosen one after the other: the answer for 5 minutes may come last but is not shown.
    w->SetPeriodMinutes(5);
    w->SetPeriodMinutes(7 * 24 * 60);
    ASSERT_TRUE(PumpUntil([&] { return !w->Loading(); }, std::chrono::seconds(20)));
    EXPECT_EQ(w->Table()->rowCount(), 3);
    EXPECT_EQ(w->Chart()->OperationMarkCount(), 3);
    EXPECT_TRUE(w->StatusText().contains("960 readings")) << w->StatusText().toStdString();

    w->SetPeriodMinutes(5);
    ASSERT_TRUE(PumpUntil([&] { return !w->Loading(); }, std::chrono::seconds(20)));
    EXPECT_EQ(w->Table()->rowCount(), 1);  // the write two minutes ago
    EXPECT_EQ(w->Chart()->OperationMarkCount(), 1);
    EXPECT_FALSE(w->Chart()->ShowsNoReadings());
}

TEST_F(ServiceRecordWindowTest, NoJournalOrAnUnknownLaminatorGivesAClearLine) {
    const std::string absent = (m_folder.Path() / "none.sqlite").string();
    auto none = Open(absent, "SN1");
    EXPECT_EQ(none->StatusText().toStdString(),
              "No service record yet: " + absent + " does not exist.");
    EXPECT_FALSE(std::filesystem::exists(absent));  // looking makes no journal
    auto off = Open("", "SN1");
    EXPECT_EQ(off->StatusText(), "No service record is kept (--no-journal).");
    auto other = Open(m_path, "SN2");
    EXPECT_EQ(other->StatusText().toStdString(),
              "The service record " + m_path + " holds nothing of SN2 yet.");
    EXPECT_EQ(other->Table()->rowCount(), 0);
}
