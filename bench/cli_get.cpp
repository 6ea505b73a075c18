// pellacorctl as a whole process against the same read inside one process, so the start-up
// cost is visible, and the time from starting the program to the laminator's first frame.
// Baseline for both: starting and reaping a process that does nothing (/bin/true).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "cli/cli_view.h"
#include "cli/targets.h"
#include "laminator/group_transfer.h"
#include "sim/simulator.h"

extern char** environ;

namespace {
std::unique_ptr<pellacor::sim::Simulator> g_sim;

pellacor::sim::Simulator& Sim() {
    if (!g_sim) {
        pellacor::sim::SimOptions o;
        o.tcpPort = 0;
        o.udp = false;
        g_sim = std::make_unique<pellacor::sim::Simulator>(o);
        std::string error;
        if (!g_sim->Start(&error))
            std::abort();
    }
    return *g_sim;
}

std::string TcpTarget() {
    return "127.0.0.1:" + std::to_string(Sim().TcpPort(0));
}

// Runs a program with its output thrown away; returns when it has ended.
void RunProcess(std::vector<std::string> args) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        waitpid(pid, &status, 0);
    }
    posix_spawn_file_actions_destroy(&actions);
}

void BM_ProcessStartBaseline(benchmark::State& state) {
    for (auto _ : state)
        RunProcess({"/bin/true"});
}
BENCHMARK(BM_ProcessStartBaseline)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_GetInOneProcess(benchmark::State& state) {
    std::string error;
    const std::optional<Target> target = ParseTcpTarget(TcpTarget(), 9100, error);
    for (auto _ : state) {
        CliView view;
        OpenTarget(*target);
        ReadAllGroups(view);
        CloseTarget();
    }
}
BENCHMARK(BM_GetInOneProcess)->Unit(benchmark::kMillisecond)->UseRealTime();

// Seconds per run of `args`, over `runs` runs.
double SecondsPerRun(const std::vector<std::string>& args, int runs) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < runs; ++i)
        RunProcess(args);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / runs;
}

// "x_true": the get against /bin/true measured in the same run, interleaved so the machine's
// load weighs on both alike; the goal is under 5.
void BM_GetAsAProcess(benchmark::State& state) {
    const std::string target = TcpTarget();
    const std::vector<std::string> get = {PELLACORCTL_PATH, "--tcp", target, "get"};
    double getSeconds = 0;
    double trueSeconds = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        RunProcess(get);
        getSeconds +=
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.PauseTiming();
        trueSeconds += SecondsPerRun({"/bin/true"}, 1);
        state.ResumeTiming();
    }
    state.counters["x_true"] = trueSeconds > 0 ? getSeconds / trueSeconds : 0;
}
BENCHMARK(BM_GetAsAProcess)->Unit(benchmark::kMillisecond)->UseRealTime();

// From the spawn to the first frame the simulator logged.
void BM_StartToFirstFrame(benchmark::State& state) {
    const std::string target = TcpTarget();
    for (auto _ : state) {
        Sim().ClearLog();
        const auto start = std::chrono::system_clock::now();
        RunProcess({PELLACORCTL_PATH, "--tcp", target, "get", "buzzer"});
        const std::vector<pellacor::sim::FrameRecord> frames = Sim().Frames();
        if (frames.empty()) {
            state.SkipWithError("no frame reached the simulator");
            return;
        }
        state.SetIterationTime(std::chrono::duration<double>(frames.front().time - start).count());
    }
}
BENCHMARK(BM_StartToFirstFrame)->Unit(benchmark::kMillisecond)->UseManualTime();
}  // namespace

BENCHMARK_MAIN();
