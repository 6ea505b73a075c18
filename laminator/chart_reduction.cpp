#include "laminator/chart_reduction.h"

#include <algorithm>

std::int64_t TypicalStepMs(const std::vector<StatusSample>& samples) {
    std::vector<std::int64_t> steps;
    steps.reserve(samples.size());
    for (std::size_t i = 1; i < samples.size(); ++i) {
        if (samples[i].timeMs > samples[i - 1].timeMs)
            steps.push_back(samples[i].timeMs - samples[i - 1].timeMs);
    }
    if (steps.size() < 2)
        return 0;
    const auto middle = steps.begin() + static_cast<std::ptrdiff_t>(steps.size() / 2);
    std::nth_element(steps.begin(), middle, steps.end());
    return *middle;
}

namespace {
// The cadence around the step into `i`: the median step of its neighbours. A journal's
// thinned minutes come every half minute, a watch's readings every two seconds; each part
// is judged by its own.
std::int64_t LocalStepMs(const std::vector<StatusSample>& samples, std::size_t i) {
    constexpr std::size_t kAround = 8;
    std::vector<std::int64_t> steps;
    const std::size_t from = i > kAround ? i - kAround : 1;
    const std::size_t to = std::min(samples.size(), i + kAround + 1);
    for (std::size_t j = from; j < to; ++j) {
        if (!samples[j].gap && !samples[j - 1].gap && samples[j].timeMs > samples[j - 1].timeMs)
            steps.push_back(samples[j].timeMs - samples[j - 1].timeMs);
    }
    if (steps.empty())
        return 0;
    const auto middle = steps.begin() + static_cast<std::ptrdiff_t>(steps.size() / 2);
    std::nth_element(steps.begin(), middle, steps.end());
    return *middle;
}
}  // namespace

std::vector<StatusSample> BreakLongStretches(const std::vector<StatusSample>& samples) {
    const std::int64_t typical = TypicalStepMs(samples);
    if (typical == 0)
        return samples;
    std::vector<StatusSample> out;
    out.reserve(samples.size());
    for (std::size_t i = 0; i < samples.size(); ++i) {
        if (i > 0 && !samples[i].gap && !samples[i - 1].gap &&
            samples[i].timeMs - samples[i - 1].timeMs > kUnreadCycles * typical) {
            const std::int64_t step = std::max(typical, LocalStepMs(samples, i));
            if (samples[i].timeMs - samples[i - 1].timeMs > kUnreadCycles * step)
                out.push_back(StatusSample::Gap(samples[i - 1].timeMs + step));
        }
        out.push_back(samples[i]);
    }
    return out;
}

std::vector<StatusSample> ReduceForChart(const std::vector<StatusSample>& unbroken, std::int64_t t0,
                                         std::int64_t t1, int columns) {
    const std::vector<StatusSample> samples = BreakLongStretches(unbroken);
    if (static_cast<int>(samples.size()) <= 4 * columns)
        return samples;
    const double span = static_cast<double>(std::max<std::int64_t>(t1 - t0, 1));
    const auto column = [&](const StatusSample& s) {
        return static_cast<int>(columns * static_cast<double>(s.timeMs - t0) / span);
    };
    std::vector<StatusSample> out;
    std::size_t begin = 0;
    const auto flush = [&](std::size_t end) {
        if (begin == end)
            return;
        const auto first = samples.begin() + static_cast<std::ptrdiff_t>(begin);
        const auto last = samples.begin() + static_cast<std::ptrdiff_t>(end);
        const auto byRoller = [](const StatusSample& a, const StatusSample& b) {
            return a.rollerCenti < b.rollerCenti;
        };
        const auto byEnvironment = [](const StatusSample& a, const StatusSample& b) {
            return a.environmentCenti < b.environmentCenti;
        };
        const auto [rLow, rHigh] = std::minmax_element(first, last, byRoller);
        const auto [eLow, eHigh] = std::minmax_element(first, last, byEnvironment);
        std::vector<std::size_t> keep = {begin,
                                         end - 1,
                                         static_cast<std::size_t>(rLow - samples.begin()),
                                         static_cast<std::size_t>(rHigh - samples.begin()),
                                         static_cast<std::size_t>(eLow - samples.begin()),
                                         static_cast<std::size_t>(eHigh - samples.begin())};
        std::sort(keep.begin(), keep.end());
        keep.erase(std::unique(keep.begin(), keep.end()), keep.end());
        for (std::size_t i : keep)
            out.push_back(samples[i]);
        begin = end;
    };
    for (std::size_t i = 0; i < samples.size(); ++i) {
        if (samples[i].gap) {
            flush(i);
            out.push_back(samples[i]);
            begin = i + 1;
        } else if (i > begin && column(samples[i]) != column(samples[begin])) {
            flush(i);
        }
    }
    flush(samples.size());
    return out;
}
