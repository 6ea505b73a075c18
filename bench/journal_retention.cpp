// The service record over a month: 30 days of 2 s readings (1.3 million) thinned, the size of
// the database after it, and listing the last 30 days against a plain count of the same rows
// in the same run.
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "journal/journal_db.h"

namespace {
double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}
}  // namespace

int main() {
    std::string folder =
        (std::filesystem::temp_directory_path() / "pellacor-bench-XXXXXX").string();
    if (!mkdtemp(folder.data()))
        return 1;
    const std::string path = folder + "/journal.sqlite";
    std::string error;
    std::unique_ptr<JournalDb> db = JournalDb::Open(path, error);
    if (!db) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    constexpr std::int64_t kDayMs = 86'400'000;
    const std::int64_t now = NowMs();
    RecordFile month;
    month.laminator = {"BENCH-1", "LX", "", "tcp:127.0.0.1:9100"};
    for (std::int64_t t = now - 30 * kDayMs; t < now; t += 2000) {
        StoredReading r;
        r.sample.timeMs = t;
        r.sample.state = static_cast<std::uint32_t>((t / 60'000) % 7);
        r.sample.rollerCenti = static_cast<std::uint16_t>(15000 + (t / 2000) % 3000);
        r.sample.environmentCenti = 2500;
        month.readings.push_back(r);
        if (t % (3600 * 1000) < 2000)
            month.operations.push_back({t, 10, "tcp", "u", "1", "set", "done", "", "{}"});
    }
    auto start = std::chrono::steady_clock::now();
    if (!db->Import(month)) {
        std::fprintf(stderr, "import: %s\n", db->LastError().c_str());
        return 1;
    }
    std::printf("%zu readings written in %.1f s\n", month.readings.size(), Seconds(start));
    const double before = static_cast<double>(db->UsedBytes()) / 1e6;
    start = std::chrono::steady_clock::now();
    db->Thin(now);
    db->Limit(200'000'000);
    const double thinning = Seconds(start);
    db.reset();
    db = JournalDb::Open(path, error);
    const double after = static_cast<double>(db->UsedBytes()) / 1e6;
    std::printf(
        "data before thinning %.1f MB, after %.1f MB (under 100 MB wanted), thinning %.1f s\n",
        before, after, thinning);

    JournalQuery query;
    query.sinceMs = now - 30 * kDayMs;
    start = std::chrono::steady_clock::now();
    const std::size_t operations = db->Operations(query).size();
    const std::size_t readings = db->Readings(query).size();
    const double listing = Seconds(start);
    start = std::chrono::steady_clock::now();
    const std::size_t all = db->Readings({}).size();
    const double baseline = Seconds(start);
    std::printf(
        "the last 30 days: %zu operations and %zu readings in %.3f s (under 2 s wanted); "
        "every reading unfiltered %zu in %.3f s; ratio %.2f\n",
        operations, readings, listing, all, baseline, listing / baseline);
    db.reset();
    std::filesystem::remove_all(folder);
    return 0;
}
