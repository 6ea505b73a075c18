// Retention in a writer that keeps running: due at the start and then at most hourly by the
// writer's clock (a test clock here, nothing sleeps), in short steps between records.
#include <gtest/gtest.h>

#include <atomic>

#include "journal/journal_db.h"
#include "journal/journal_writer.h"
#include "tests/journal/journal_test_folder.h"

namespace {
constexpr std::int64_t kMinute = 60'000;
constexpr std::int64_t kHour = 60 * kMinute;
constexpr std::int64_t kDay = 24 * kHour;
const std::string kLink = "tcp:127.0.0.1:9100";

StatusSample Reading(std::int64_t timeMs, std::uint16_t roller) {
    StatusSample s;
    s.timeMs = timeMs;
    s.rollerCenti = roller;
    s.environmentCenti = 2500;
    return s;
}

class WriterRetention : public ::testing::Test {
  protected:
    std::string Path() const { return (m_dir.Path() / "journal.sqlite").string(); }
    JournalOptions Options(std::int64_t limitBytes = 200'000'000) {
        JournalOptions o;
        o.path = Path();
        o.limitBytes = limitBytes;
        o.clock = [this] { return m_now.load(); };
        return o;
    }
    std::vector<StoredReading> Readings() {
        std::string error;
        auto db = JournalDb::Open(Path(), error);
        EXPECT_TRUE(db) << error;
        return db ? db->Readings({}) : std::vector<StoredReading>{};
    }
    JournalTestFolder m_dir;
    std::atomic<std::int64_t> m_now{200 * kDay};
};

TEST_F(WriterRetention, ALongRunningWriterThinsWhenAnHourHasPassedAndNotBefore) {
    JournalWriter writer(Options());
    // Two minutes at 2 s, taken "now".
    const std::int64_t taken = m_now.load() / kMinute * kMinute;
    for (int i = 0; i < 60; ++i)
        writer.Reading(kLink, Reading(taken + i * 2000, static_cast<std::uint16_t>(15000 + i)));
    ASSERT_TRUE(writer.Settle(std::chrono::seconds(60)));
    EXPECT_EQ(writer.RetentionRuns(), 1u);  // the one at the start
    EXPECT_EQ(Readings().size(), 60u);

    // Eight days on, within the hour of the last run by the clock: not yet.
    m_now += 8 * kDay;
    writer.Reading(kLink, Reading(m_now.load(), 16000));
    ASSERT_TRUE(writer.Settle(std::chrono::seconds(60)));
    // A clock that jumped counts as more than an hour: the run is due now and thins.
    EXPECT_EQ(writer.RetentionRuns(), 2u);
    std::vector<StoredReading> kept = Readings();
    ASSERT_EQ(kept.size(), 3u);
    EXPECT_EQ(kept[0].spanMs, kMinute);
    EXPECT_EQ(kept[0].rollerMin, 15000);
    EXPECT_EQ(kept[0].rollerMax, 15029);
    EXPECT_EQ(kept[1].rollerMax, 15059);

    // Readings a week and a day old come in: half an hour later nothing runs, an hour
    // after the last run it does, in the same writer.
    for (int i = 0; i < 30; ++i)
        writer.Reading(kLink, Reading(m_now.load() - 8 * kDay + i * 2000, 14000));
    m_now += 30 * kMinute;
    ASSERT_TRUE(writer.Settle(std::chrono::seconds(60)));
    EXPECT_EQ(writer.RetentionRuns(), 2u);
    EXPECT_EQ(Readings().size(), 3u + 30u);
    m_now += 31 * kMinute;
    writer.Reading(kLink, Reading(m_now.load(), 16000));
    ASSERT_TRUE(writer.Settle(std::chrono::seconds(60)));
    EXPECT_EQ(writer.RetentionRuns(), 3u);
    kept = Readings();
    EXPECT_LE(kept.size(), 3u + 2u + 1u);
    EXPECT_EQ(writer.Lost(), 0u);
}

TEST_F(WriterRetention, TheSizeCapHoldsWithoutARestartAndKeepsEveryOperation) {
    constexpr std::int64_t kCap = 128 * 1024;
    JournalWriter writer(Options(kCap));
    writer.Reading(kLink, Reading(m_now.load() - 1, 15000));
    ASSERT_TRUE(writer.Settle(std::chrono::seconds(60)));  // the run at the start, ended
    for (int i = 0; i < 5; ++i)
        writer.Operation(kLink, {m_now.load(), 1, kLink, "u", "v", "set", "done", "", "{}"});
    for (int i = 0; i < 20000; ++i)
        writer.Reading(kLink, Reading(m_now.load() + i * 2000LL, 15000));
    ASSERT_TRUE(writer.Settle(std::chrono::seconds(120)));
    std::string error;
    std::int64_t used = JournalDb::Open(Path(), error)->UsedBytes();
    EXPECT_GT(used, kCap);  // grown past the cap since the run at the start
    EXPECT_EQ(writer.RetentionRuns(), 1u);
    m_now += kHour;
    writer.Reading(kLink, Reading(m_now.load() + 20000 * 2000LL, 15000));
    ASSERT_TRUE(writer.Settle(std::chrono::seconds(120)));
    auto db = JournalDb::Open(Path(), error);
    ASSERT_TRUE(db) << error;
    EXPECT_LE(db->UsedBytes(), kCap);
    EXPECT_EQ(db->Operations({}).size(), 5u);
    const std::vector<StoredReading> left = db->Readings({});
    ASSERT_FALSE(left.empty());
    EXPECT_EQ(left.back().sample.timeMs, m_now.load() + 20000 * 2000LL);  // the newest kept
}

TEST_F(WriterRetention, OneStepThinsAtMostAnHourOfReadings) {
    std::string error;
    auto db = JournalDb::Open(Path(), error);
    ASSERT_TRUE(db) << error;
    const std::int64_t lam = *db->Laminator({"SN1", "", "", ""});
    const std::int64_t run = *db->NewRun();
    const std::int64_t now = 200 * kDay;
    const std::int64_t start = now - 10 * kDay;
    for (std::int64_t t = start; t < start + 3 * kHour; t += 2000) {
        StoredReading r;
        r.sample = Reading(t, 15000);
        ASSERT_TRUE(db->AddReading(lam, run, r));
    }
    JournalDb::RetentionRun retention;
    ASSERT_TRUE(db->RetentionStep(now, 200'000'000, retention));
    std::vector<StoredReading> kept = db->Readings({});
    ASSERT_EQ(kept.size(), 60u + 2u * 1800u);  // the first hour in minutes, the rest as taken
    EXPECT_EQ(kept[59].spanMs, kMinute);
    EXPECT_EQ(kept[60].spanMs, 0);
    int steps = 1;
    while (!retention.Done()) {
        ASSERT_TRUE(db->RetentionStep(now, 200'000'000, retention));
        ++steps;
    }
    EXPECT_EQ(db->Readings({}).size(), 180u);
    EXPECT_GE(steps, 3);
}
}  // namespace
