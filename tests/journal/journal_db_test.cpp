// The service-record database: refusals that leave the file alone, identity joins, thinning
// and the size cap.
#include "journal/journal_db.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#ifndef _WIN32
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <csignal>
#include <fstream>
#include <sstream>
#include <thread>

#include "journal/journal_writer.h"
#include "journal/sha256.h"
#include "tests/journal/journal_test_folder.h"

namespace {
constexpr std::int64_t kMinute = 60'000;
constexpr std::int64_t kDay = 24 * 60 * kMinute;

std::string FileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

StatusSample Sample(std::int64_t timeMs, std::uint16_t roller, std::uint32_t state = 1) {
    StatusSample s;
    s.timeMs = timeMs;
    s.rollerCenti = roller;
    s.environmentCenti = 2500;
    s.state = state;
    return s;
}

class Journal : public ::testing::Test {
  protected:
    std::string Path() const { return (m_dir.Path() / "journal.sqlite").string(); }
    std::unique_ptr<JournalDb> Open() {
        std::string error;
        auto db = JournalDb::Open(Path(), error);
        EXPECT_TRUE(db) << error;
        return db;
    }
    JournalTestFolder m_dir;
};

TEST_F(Journal, RefusesWhatIsNotItsOwnAndLeavesItAlone) {
    const std::string garbage(5000, 'x');
    std::ofstream(Path(), std::ios::binary) << garbage;
    std::string error;
    EXPECT_FALSE(JournalDb::Open(Path(), error, 100));
    EXPECT_NE(error.find(Path()), std::string::npos) << error;
    EXPECT_NE(error.find("not a database"), std::string::npos) << error;
    EXPECT_EQ(FileText(Path()), garbage);

    // Another program's SQLite database.
    std::filesystem::remove(Path());
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(Path().c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "CREATE TABLE t(x); INSERT INTO t VALUES(42)", nullptr, nullptr,
                           nullptr),
              SQLITE_OK);
    sqlite3_close(other);
    const std::string before = FileText(Path());
    EXPECT_FALSE(JournalDb::Open(Path(), error, 100));
    EXPECT_NE(error.find("not a Pellacor service record"), std::string::npos) << error;
    EXPECT_EQ(FileText(Path()), before);

    // A folder that cannot be made.
    std::ofstream((m_dir.Path() / "plain").string()) << "file";
    EXPECT_FALSE(JournalDb::Open((m_dir.Path() / "plain" / "journal.sqlite").string(), error));
    EXPECT_NE(error.find("plain"), std::string::npos) << error;
}

TEST(Sha256, KnownDigestsAcrossBlockBoundaries) {
    EXPECT_EQ(Sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(Sha256Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(Sha256Hex(std::string(1000000, 'a')),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST_F(Journal, NewerSchemaIsRefused) {
    Open().reset();
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(Path().c_str(), &db), SQLITE_OK);
    sqlite3_exec(db, "PRAGMA user_version = 99", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    std::string error;
    EXPECT_FALSE(JournalDb::Open(Path(), error));
    EXPECT_NE(error.find("newer"), std::string::npos) << error;
}

TEST_F(Journal, LockedDatabaseIsReportedOnceAndNothingWaits) {
    Open().reset();
    sqlite3* holder = nullptr;
    ASSERT_EQ(sqlite3_open(Path().c_str(), &holder), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(holder, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    std::vector<std::string> problems;
    std::mutex mutex;
    {
        JournalOptions o;
        o.path = Path();
        o.onProblem = [&](const std::string& text) {
            std::lock_guard lock(mutex);
            problems.push_back(text);
        };
        JournalWriter writer(o);
        for (int i = 0; i < 3; ++i)
            writer.Operation("tcp:127.0.0.1:9100",
                             {NowMs(), 1, "l", "u", "v", "info", "done", "", "{}"});
        writer.Flush(std::chrono::seconds(30));
    }
    sqlite3_exec(holder, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(holder);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].find(Path()), std::string::npos) << problems[0];
    EXPECT_NE(problems[0].find("locked"), std::string::npos) << problems[0];
}

TEST_F(Journal, AFullDiskIsReportedOnceAndTheWriterGoesOn) {
#if defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the writer's thread would start in a forked child, which ThreadSanitizer "
                    "does not follow";
#elif defined(_WIN32)
    GTEST_SKIP() << "stands in a file-size limit of a forked child for a full disk: Windows has "
                    "neither fork nor a per-process file-size limit";
#else
    Open().reset();
    int report[2];
    ASSERT_EQ(pipe(report), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // A file-size limit stands in for a full disk: writes past it fail with EFBIG.
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit = {256 * 1024, 256 * 1024};
        setrlimit(RLIMIT_FSIZE, &limit);
        int problems = 0;
        std::string text;
        {
            JournalOptions o;
            o.path = Path();
            o.onProblem = [&](const std::string& t) {
                ++problems;
                text = t;
            };
            JournalWriter writer(o);
            for (int i = 0; i < 20000; ++i)
                writer.Reading("tcp:127.0.0.1:9100", Sample(i, 100));
            writer.Flush(std::chrono::seconds(120));
        }
        const ssize_t ignored = write(report[1], text.data(), text.size());
        (void)ignored;
        _exit(problems);
    }
    close(report[1]);
    std::string text;
    char buffer[512];
    for (ssize_t n; (n = read(report[0], buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<std::size_t>(n));
    close(report[0]);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1) << text;
    EXPECT_NE(text.find(Path()), std::string::npos) << text;
    EXPECT_NE(text.find("could not be written"), std::string::npos) << text;
#endif
}

TEST_F(Journal, ReadOnlyFolderIsReported) {
#ifdef _WIN32
    GTEST_SKIP() << "a Windows folder's read-only attribute does not stop new files in it";
#else
    if (geteuid() == 0)
        GTEST_SKIP() << "root writes into a read-only folder: run as a user to test this";
#endif
    const std::filesystem::path folder = m_dir.Path() / "locked";
    std::filesystem::create_directory(folder);
    std::filesystem::permissions(
        folder, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    std::string error;
    EXPECT_FALSE(JournalDb::Open((folder / "journal.sqlite").string(), error));
    EXPECT_NE(error.find("locked"), std::string::npos) << error;
    std::filesystem::permissions(folder, std::filesystem::perms::owner_all);
}

TEST_F(Journal, RecordsTakenUnderTheLinkJoinTheSerialOfTheSameRunOnly) {
    const std::string link = "tcp:127.0.0.1:9100";
    // Recent, so the writer's retention leaves them as they are.
    const std::int64_t base = NowMs();
    {
        JournalWriter earlier({Path()});
        earlier.Operation(link, {base + 1000, 1, link, "u", "v", "status", "done", "", "{}"});
    }
    {
        JournalWriter writer({Path()});
        writer.Reading(link, Sample(base + 2000, 18000));
        writer.Operation(link, {base + 2000, 5, link, "u", "v", "connect", "done", "", "{}"});
        writer.Identify(link, {"SN123", "LX-200", "", ""});
        writer.Operation(link, {base + 3000, 5, link, "u", "v", "info", "done", "", "{}"});
    }
    auto db = Open();
    const std::vector<LaminatorRow> rows = db->Laminators();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].key, "link:" + link);
    EXPECT_EQ(rows[0].operations, 1);
    EXPECT_EQ(rows[1].key, "sn:SN123");
    EXPECT_EQ(rows[1].identity.model, "LX-200");
    EXPECT_EQ(rows[1].identity.link, link);
    EXPECT_EQ(rows[1].operations, 2);
    EXPECT_EQ(rows[1].readings, 1);
    EXPECT_EQ(rows[1].firstMs, base + 2000);
    EXPECT_EQ(rows[1].lastMs, base + 3000);
    EXPECT_EQ(db->Operations({"SN123", {}, {}, "info"}).size(), 1u);
}

TEST_F(Journal, ReadingsAreWrittenInBatchesWithoutAFlushAndNoneIsLeftBehind) {
    const std::string link = "tcp:127.0.0.1:9100";
    const std::int64_t base = NowMs();
    JournalWriter writer({Path()});
    // Polled by another connection for ten seconds, well within the writer's idle look.
    const auto written = [&](std::size_t count) {
        std::vector<StoredReading> readings;
        for (int i = 0; i < 200 && readings.size() < count; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            readings = Open()->Readings({});
        }
        return readings;
    };
    // A lone reading reaches an idle writer: no operation or Flush wakes it.
    ASSERT_TRUE(writer.Settle(std::chrono::seconds(10)));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));  // back to its idle wait
    writer.Reading(link, Sample(base, 0));
    ASSERT_EQ(written(1).size(), 1u);
    // More than one batch, with operations between them: every reading is written.
    for (int i = 1; i < 1500; ++i) {
        writer.Reading(link, Sample(base + i, static_cast<std::uint16_t>(i)));
        if (i == 3 || i == 700)
            writer.Operation(link, {base + i, 1, link, "u", "v", "info", "done", "", "{}"});
    }
    const std::vector<StoredReading> readings = written(1500);
    ASSERT_EQ(readings.size(), 1500u);
    for (std::size_t i = 0; i < readings.size(); ++i)
        ASSERT_EQ(readings[i].sample.rollerCenti, i) << "reading " << i;
    EXPECT_EQ(Open()->Operations({}).size(), 2u);
    EXPECT_EQ(writer.Lost(), 0u);
}

TEST_F(Journal, OldReadingsAreThinnedKeepingExtremesLastStateAndOperations) {
    auto db = Open();
    const std::int64_t now = 200 * kDay;
    const std::int64_t lam = *db->Laminator({"SN1", "", "", ""});
    const std::int64_t run = *db->NewRun();
    // Two minutes at 2 s, 10 days old: one a minute, extremes and the last state kept.
    const std::int64_t tenDays = now - 10 * kDay;
    for (int i = 0; i < 60; ++i) {
        StoredReading r;
        r.sample = i == 7 ? StatusSample::Gap(tenDays + i * 2000)
                          : Sample(tenDays + i * 2000, static_cast<std::uint16_t>(10000 + i), i);
        ASSERT_TRUE(db->AddReading(lam, run, r));
    }
    // A day at 2 s, 100 days old: one an hour.
    for (int i = 0; i < 3600; ++i) {
        StoredReading r;
        r.sample = Sample(now - 100 * kDay + i * 2000, static_cast<std::uint16_t>(i), 5);
        ASSERT_TRUE(db->AddReading(lam, run, r));
    }
    // Recent readings stay as they are.
    for (int i = 0; i < 10; ++i) {
        StoredReading r;
        r.sample = Sample(now - kMinute + i * 2000, 20000);
        ASSERT_TRUE(db->AddReading(lam, run, r));
    }
    ASSERT_TRUE(
        db->AddOperation(lam, run, {now - 100 * kDay, 1, "l", "u", "v", "set", "done", "", "{}"}));
    ASSERT_TRUE(db->Thin(now));

    const std::vector<StoredReading> all = db->Readings({});
    ASSERT_EQ(all.size(), 2u + 2u + 10u);
    EXPECT_EQ(all[0].spanMs, 60 * kMinute);
    EXPECT_EQ(all[0].rollerMin, 0);
    EXPECT_EQ(all[0].rollerMax, 1799);
    EXPECT_EQ(all[1].rollerMin, 1800);
    EXPECT_EQ(all[1].rollerMax, 3599);
    EXPECT_EQ(all[1].sample.rollerCenti, 3599);
    EXPECT_EQ(all[2].spanMs, kMinute);
    EXPECT_EQ(all[2].rollerMin, 10000);
    EXPECT_EQ(all[2].rollerMax, 10029);
    EXPECT_EQ(all[2].sample.state, 29u);  // the last state of the minute
    EXPECT_EQ(all[3].rollerMin, 10030);
    EXPECT_EQ(all[4].spanMs, 0);
    EXPECT_EQ(db->Operations({}).size(), 1u);

    // A second pass finds nothing more to do.
    ASSERT_TRUE(db->Thin(now));
    EXPECT_EQ(db->Readings({}).size(), all.size());
}

TEST_F(Journal, SizeCapDropsTheOldestReadingsButNoOperation) {
    auto db = Open();
    const std::int64_t lam = *db->Laminator({"SN1", "", "", ""});
    const std::int64_t run = *db->NewRun();
    for (int i = 0; i < 50; ++i)
        ASSERT_TRUE(db->AddOperation(lam, run, {i, 1, "l", "u", "v", "set", "done", "", "{}"}));
    for (int i = 0; i < 20000; ++i) {
        StoredReading r;
        r.sample = Sample(1000 + i * 2000LL, 100);
        ASSERT_TRUE(db->AddReading(lam, run, r));
    }
    const std::int64_t before = db->UsedBytes();
    ASSERT_TRUE(db->Limit(before / 4));
    EXPECT_LE(db->UsedBytes(), before / 4);
    const std::vector<StoredReading> left = db->Readings({});
    ASSERT_FALSE(left.empty());
    EXPECT_EQ(left.back().sample.timeMs, 1000 + 19999 * 2000LL);  // the newest kept
    EXPECT_GT(left.front().sample.timeMs, 1000);
    EXPECT_EQ(db->Operations({}).size(), 50u);
    EXPECT_LT(std::filesystem::file_size(Path()), static_cast<std::uintmax_t>(before));
}

TEST_F(Journal, KilledWriterLeavesAnIntactDatabase) {
#ifdef _WIN32
    GTEST_SKIP() << "kills a forked child in the middle of its writes: Windows has no fork";
#else
    Open().reset();
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::string error;
        auto db = JournalDb::Open(Path(), error);
        if (!db)
            _exit(1);
        const std::int64_t lam = *db->Laminator({"SN1", "", "", ""});
        const std::int64_t run = *db->NewRun();
        for (std::int64_t i = 0;; ++i) {
            StoredReading r;
            r.sample = Sample(i, 100);
            db->AddReading(lam, run, r);
        }
    }
    // Let it write a while: wait until rows are there, then kill it mid-loop.
    for (int i = 0; i < 500; ++i) {
        std::string error;
        auto db = JournalDb::Open(Path(), error);
        if (db && db->Readings({}).size() > 2000)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(Path().c_str(), &db), SQLITE_OK);
    sqlite3_stmt* check = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &check, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_step(check), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(check, 0)), "ok");
    sqlite3_finalize(check);
    sqlite3_close(db);
    EXPECT_GT(Open()->Readings({}).size(), 2000u);
#endif
}
}  // namespace
