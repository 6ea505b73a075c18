// What status histories cost in memory: 4096 watched targets with one reading each (the
// ceiling of --discovered) against their 50 MB budget, and one history filled to its
// capacity against the 2 MB a full ring needs. Figures from the process's resident size.
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "laminator/status_history.h"

namespace {
double ResidentMb() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return static_cast<double>(resident) * 4096.0 / (1024.0 * 1024.0);
}
}  // namespace

int main() {
    const double base = ResidentMb();
    std::vector<std::unique_ptr<StatusHistory>> watched;
    for (int i = 0; i < 4096; ++i) {
        watched.push_back(std::make_unique<StatusHistory>());
        StatusSample s;
        s.timeMs = 1798761600000 + i;
        watched.back()->Append(s);
    }
    const double many = ResidentMb() - base;
    watched.clear();
    const double before = ResidentMb();
    StatusHistory full;
    for (std::size_t i = 0; i < StatusHistory::kDefaultCapacity + 10; ++i) {
        StatusSample s;
        s.timeMs = static_cast<std::int64_t>(i);
        full.Append(s);
    }
    const double one = ResidentMb() - before;
    std::printf("4096 histories of one reading: %.1f MB (budget 50 MB, %.3f of it)\n", many,
                many / 50.0);
    std::printf("one full history of %zu readings: %.1f MB\n", full.Size(), one);
    return many < 50.0 ? 0 : 1;
}
