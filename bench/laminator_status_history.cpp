// What the status history costs a status cycle: cycles over TCP loopback against the
// simulator recording into a history, against the same cycles recording nothing, in
// interleaved blocks of the same run; the ratio of their medians is the figure.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench/null_view.h"
#include "bench/simulator_over_tcp.h"
#include "laminator/status_history.h"
#include "laminator/status_poller.h"

namespace {

constexpr int kBlocks = 21;
constexpr int kCyclesPerBlock = 100;

double BlockMicroseconds(NullView& view, StatusHistory* history) {
    StatusHistoryScope scope(history);
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kCyclesPerBlock; ++i)
        ReadStatusOnce(view, LinkKind::Ethernet);
    return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
               .count() /
           kCyclesPerBlock;
}

}  // namespace

int main() {
    pellacor::sim::Simulator sim(TcpOnlySimulatorOptions());
    if (!ConnectToSimulatorOverTcp(sim))
        return 1;
    NullView view;
    // A history already full, so every append also overwrites the oldest reading.
    StatusHistory history;
    for (std::size_t i = 0; i < history.Capacity(); ++i)
        history.Append(StatusSample::Gap(static_cast<std::int64_t>(i)));
    BlockMicroseconds(view, nullptr);  // warm the connection
    std::vector<double> with, without;
    for (int b = 0; b < kBlocks; ++b) {
        without.push_back(BlockMicroseconds(view, nullptr));
        with.push_back(BlockMicroseconds(view, &history));
    }
    const double a = Median(with), b = Median(without);
    std::printf("status cycle over TCP loopback: %.1f us with the history, %.1f us without\n", a,
                b);
    std::printf("ratio with/without: %.3f\n", a / b);

    const auto start = std::chrono::steady_clock::now();
    constexpr int kAppends = 1000000;
    for (int i = 0; i < kAppends; ++i)
        history.Append(StatusSample::Gap(i));
    std::printf(
        "one append: %.1f ns\n",
        std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count() /
            kAppends);
    CloseEthernet();
    return 0;
}
