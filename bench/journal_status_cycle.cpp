// What the service record costs a status cycle: cycles over TCP loopback against the
// simulator with every reading handed to the journal's writer, against the same cycles with
// no journal, in interleaved blocks of the same run; the ratio of their medians is the figure.
// The tool polls every two seconds and its writer writes the readings in that pause; here the
// cycles run back to back, so each block with the journal is followed by the writing of its
// readings, timed apart: the writer's own cost is the second figure, and the two together the
// third (as if nothing ran alongside).
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "bench/null_view.h"
#include "bench/simulator_over_tcp.h"
#include "journal/journal_writer.h"
#include "laminator/status_poller.h"
#include "laminator/status_reading_observer.h"

namespace {
constexpr int kBlocks = 31;
constexpr int kCyclesPerBlock = 500;

JournalWriter* g_writer = nullptr;

void ToJournal(const StatusSample& sample) {
    g_writer->Reading("tcp:bench", sample);
}

double PerCycle(std::chrono::steady_clock::time_point start,
                std::chrono::steady_clock::time_point end) {
    return std::chrono::duration<double, std::micro>(end - start).count() / kCyclesPerBlock;
}

struct Block {
    double cycle = 0;    // microseconds per status cycle
    double writing = 0;  // microseconds per reading for the writer afterwards
};

Block RunBlock(NullView& view, bool journal) {
    SetStatusReadingObserver(journal ? &ToJournal : nullptr);
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kCyclesPerBlock; ++i)
        ReadStatusOnce(view, LinkKind::Ethernet);
    const auto cycled = std::chrono::steady_clock::now();
    SetStatusReadingObserver(nullptr);
    g_writer->Flush(std::chrono::seconds(60));
    return {PerCycle(start, cycled), PerCycle(cycled, std::chrono::steady_clock::now())};
}

}  // namespace

int main() {
    std::string folder =
        (std::filesystem::temp_directory_path() / "pellacor-bench-XXXXXX").string();
    if (!mkdtemp(folder.data()))
        return 1;
    pellacor::sim::Simulator sim(TcpOnlySimulatorOptions());
    if (!ConnectToSimulatorOverTcp(sim))
        return 1;
    NullView view;
    {
        JournalOptions o;
        o.path = folder + "/journal.sqlite";
        o.onProblem = [](const std::string& text) { std::fprintf(stderr, "%s\n", text.c_str()); };
        JournalWriter writer(o);
        g_writer = &writer;
        RunBlock(view, false);  // warm the connection
        std::vector<double> with, without, writing, allIn;
        for (int b = 0; b < kBlocks; ++b) {
            without.push_back(RunBlock(view, false).cycle);
            const Block block = RunBlock(view, true);
            with.push_back(block.cycle);
            writing.push_back(block.writing);
            allIn.push_back(block.cycle + block.writing);
        }
        const double a = Median(with), b = Median(without);
        std::printf("status cycle over TCP loopback: %.1f us with the journal, %.1f us without\n",
                    a, b);
        std::printf("ratio with/without: %.3f (at most 1.05 wanted)\n", a / b);
        std::printf("writer: %.2f us per reading afterwards; cycle and writing together: %.3f\n",
                    Median(writing), Median(allIn) / b);
        writer.Flush(std::chrono::seconds(60));
        std::printf("readings not kept: %llu\n", static_cast<unsigned long long>(writer.Lost()));
    }
    CloseEthernet();
    std::filesystem::remove_all(folder);
    return 0;
}
