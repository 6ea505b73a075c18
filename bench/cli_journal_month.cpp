// A month of service record through pellacorctl: 30 days of 2 s readings (1.3 million) and
// an operation an hour, thinned as retention leaves them (a week as taken, the rest in
// minutes); then `journal --since 30d` and a 30-day `report --since 30d` (page and JSON) as
// whole processes. Baseline in the same run: the same program listing an empty period of
// the same journal (start-up and opening). The figures: seconds per run (2 s wanted) and
// the ratio to the baseline.
#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "journal/journal_db.h"

extern char** environ;

namespace {
constexpr int kRuns = 3;

// Median seconds of `kRuns` runs of pellacorctl with `args`, output thrown away.
double MedianSeconds(std::vector<std::string> args) {
    args.insert(args.begin(), PELLACORCTL_PATH);
    std::vector<double> times;
    for (int i = 0; i < kRuns; ++i) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        const auto start = std::chrono::steady_clock::now();
        pid_t pid = 0;
        if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
            int status = 0;
            waitpid(pid, &status, 0);
            if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
                std::fprintf(stderr, "%s %s: exit %d\n", args[3].c_str(), args[4].c_str(),
                             WIFEXITED(status) ? WEXITSTATUS(status) : -1);
        }
        times.push_back(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        posix_spawn_file_actions_destroy(&actions);
    }
    std::nth_element(times.begin(), times.begin() + kRuns / 2, times.end());
    return times[kRuns / 2];
}
}  // namespace

int main() {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);  // each figure as it comes: filling takes a while
    std::string folder =
        (std::filesystem::temp_directory_path() / "pellacor-bench-XXXXXX").string();
    if (!mkdtemp(folder.data()))
        return 1;
    const std::string journal = folder + "/journal.sqlite";
    {
        std::string error;
        std::unique_ptr<JournalDb> db = JournalDb::Open(journal, error);
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
            r.sample.state = 0x4D000201;
            r.sample.error = 0x45000000;
            r.sample.rollerCenti = static_cast<std::uint16_t>(15000 + (t / 2000) % 300);
            r.sample.environmentCenti = 2500;
            month.readings.push_back(r);
            if (t % (3600 * 1000) < 2000)
                month.operations.push_back({t, 10, "tcp", "u", "1", "set", "done", "",
                                            R"({"changes":[{"name":"Buzzer","before":"Open",)"
                                            R"("after":"Close"}]})"});
        }
        if (!db->Import(month) || !db->Thin(now)) {
            std::fprintf(stderr, "filling: %s\n", db->LastError().c_str());
            return 1;
        }
        std::printf(
            "journal: %zu readings over 30 days, %zu operations; after thinning %lld "
            "readings, %.1f MB\n",
            month.readings.size(), month.operations.size(),
            static_cast<long long>(db->Readings({}).size()), db->UsedBytes() / 1e6);
    }
    const double baseline = MedianSeconds({"--journal", journal, "journal", "--since", "1s"});
    std::printf("baseline (start-up, an empty period listed): %.3f s\n", baseline);
    const struct {
        const char* what;
        std::vector<std::string> args;
    } runs[] = {
        {"journal --since 30d", {"--journal", journal, "journal", "--since", "30d"}},
        {"journal --since 30d --kind reading --json",
         {"--journal", journal, "--json", "journal", "--since", "30d", "--kind", "reading"}},
        {"report --since 30d (page)",
         {"--journal", journal, "report", folder + "/month.html", "--since", "30d"}},
        {"report --since 30d (JSON)",
         {"--journal", journal, "--json", "report", folder + "/month.json", "--since", "30d"}},
    };
    for (const auto& run : runs) {
        const double s = MedianSeconds(run.args);
        std::printf("%-42s %.3f s (2 s wanted), %.1f x the baseline\n", run.what, s, s / baseline);
    }
    std::error_code ec;
    std::printf("page %.1f MB, JSON %.1f MB\n",
                std::filesystem::file_size(folder + "/month.html", ec) / 1e6,
                std::filesystem::file_size(folder + "/month.json", ec) / 1e6);
    std::filesystem::remove_all(folder);
    return 0;
}
