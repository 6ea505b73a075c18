// Rendering the service report of eight hours of status history (a reading every two
// seconds, a warm-up, errors and gaps) with every parameter, as XHTML and as JSON. The
// budget is one second; the figure is the time and its share of the budget.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

#include "cli/service_report.h"
#include "cli/spliced_json.h"
#include "laminator/catalogue.h"

namespace {
ServiceReport EightHours() {
    ServiceReport report;
    report.createdMs = 1798848000000;
    report.version = "bench";
    ReportSection section;
    section.target = "tcp:127.0.0.1:9100";
    for (const ParameterInfo& p : Catalogue())
        section.parameters.push_back({&p, std::string("12"), std::nullopt, std::nullopt});
    double roller = 23.5;
    for (int i = 0; i < 8 * 3600 / 2; ++i) {
        const std::int64_t t = report.createdMs - (8LL * 3600 - 2LL * i) * 1000;
        if (i % 997 == 500) {
            section.history.push_back(StatusSample::Gap(t));
            continue;
        }
        roller += (150 - roller) * 0.05 + ((i * 7919) % 11 - 5) * 0.02;
        StatusSample s;
        s.timeMs = t;
        s.rollerCenti = static_cast<std::uint16_t>(roller * 100);
        s.environmentCenti = static_cast<std::uint16_t>(2350 + i % 30);
        s.state = roller < 149 ? 0x4D000101 : 0x4D000201;
        s.error = i % 1500 == 0 ? 0x45000401 : (roller < 149 ? 0x57000101 : 0x45000000);
        section.history.push_back(s);
    }
    section.setCelsius = 150;
    section.warmup = ComputeWarmup(section.history, section.setCelsius);
    report.sections.push_back(std::move(section));
    return report;
}
}  // namespace

int main() {
    const ServiceReport report = EightHours();
    double best = 1e9;
    std::size_t bytes = 0;
    for (int run = 0; run < 5; ++run) {
        const auto start = std::chrono::steady_clock::now();
        const std::string page = ReportXhtml(report);
        SplicedJson lists;
        const std::string json = lists.Dump(ReportJson(report, lists));
        best = std::min(best, std::chrono::duration<double, std::milli>(
                                  std::chrono::steady_clock::now() - start)
                                  .count());
        bytes = page.size();
    }
    std::printf(
        "report of %zu readings: %.1f ms (XHTML %zu bytes, and JSON), %.3f of the 1 s "
        "budget\n",
        report.sections[0].history.size(), best, bytes, best / 1000.0);
    return best < 1000.0 ? 0 : 1;
}
