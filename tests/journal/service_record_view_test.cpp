// One laminator's record as the window loads it: thinned minutes drawn as a line, not as
// dots broken by gaps, and the details of both front ends' records in one line.
#include "journal/service_record_view.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "journal/journal_db.h"
#include "tests/journal/journal_test_folder.h"

namespace {
constexpr std::int64_t kMinute = 60000;

TEST(ServiceRecordView, ThinnedMinutesBesideRawReadingsAreALineWithTheirExtremes) {
    JournalTestFolder folder;
    const std::string path = (folder.Path() / "journal.sqlite").string();
    std::string error;
    std::unique_ptr<JournalDb> db = JournalDb::Open(path, error);
    ASSERT_NE(db, nullptr) << error;
    const std::int64_t run = *db->NewRun();
    const std::int64_t id = *db->Laminator({"SN1", "", "", "usb"});
    const std::int64_t t0 = 1'700'000'000'000;
    // Two hours of minutes, then ten minutes of 2 s readings: the raw cycle must not make
    // every minute a stretch nobody measured.
    for (std::int64_t t = t0; t < t0 + 120 * kMinute; t += kMinute) {
        StoredReading r;
        r.sample.timeMs = t;
        r.spanMs = kMinute;
        r.sample.rollerCenti = 15000;
        r.rollerMin = 14000;
        r.rollerMax = 16000;
        ASSERT_TRUE(db->AddReading(id, run, r));
    }
    for (std::int64_t t = t0 + 120 * kMinute; t < t0 + 130 * kMinute; t += 2000) {
        StoredReading r;
        r.sample.timeMs = t;
        r.sample.rollerCenti = 15000;
        ASSERT_TRUE(db->AddReading(id, run, r));
    }
    db.reset();
    const ServiceRecordView view = LoadServiceRecord(path, "SN1", t0, t0 + 130 * kMinute, 400);
    ASSERT_TRUE(view.problem.empty()) << view.problem;
    EXPECT_EQ(view.readings, 120 + 300);
    EXPECT_TRUE(std::none_of(view.chart.begin(), view.chart.end(),
                             [](const StatusSample& s) { return s.gap; }));
    const auto [low, high] = std::minmax_element(
        view.chart.begin(), view.chart.end(),
        [](const StatusSample& a, const StatusSample& b) { return a.rollerCenti < b.rollerCenti; });
    EXPECT_EQ(low->rollerCenti, 14000);
    EXPECT_EQ(high->rollerCenti, 16000);
}

TEST(ServiceRecordView, DetailsOfTheWindowAndOfPellacorctlReadAlike) {
    OperationRecord window;
    window.details = R"({"changes":[{"name":"Temp","old":"150","new":"170"}]})";
    EXPECT_EQ(OperationDetailsLine(window), "Temp: 150 → 170");
    OperationRecord ctl;
    ctl.details = R"({"changes":[{"key":"t","name":"Temp","before":"150","after":"160"}]})";
    ctl.message = "first line\nsecond line";
    EXPECT_EQ(OperationDetailsLine(ctl), "Temp: 150 → 160; first line second line");
    OperationRecord broken;
    broken.details = "not json";
    broken.message = "shown";
    EXPECT_EQ(OperationDetailsLine(broken), "shown");
    // Network settings from either front end: what changed, or what a read found.
    OperationRecord net;
    net.details = R"({"before":{"name":"Desk","ip-address":"10.0.0.2"},)"
                  R"("sent":{"name":"Line 7","ip-address":"10.0.0.2"},"acknowledged":true})";
    EXPECT_EQ(OperationDetailsLine(net), "name: Desk → Line 7");
    net.details = R"({"before":{"name":"Desk"},"sent":{"name":"Line 7"},)"
                  R"("after":{"name":"Desk"}})";
    EXPECT_EQ(OperationDetailsLine(net), "no change");
    net.details = R"({"settings":{"ip-address":"10.0.0.2","name":"Desk"}})";
    EXPECT_EQ(OperationDetailsLine(net), "ip-address 10.0.0.2, name Desk");
    EXPECT_EQ(OperationWhat("firmware"), "Firmware download");
    EXPECT_EQ(OperationWhat("something-new"), "something-new");
}
}  // namespace
