// The service report page from hostile texts: the input's first lines are laminator texts
// (values, baseline values, messages, the target and the backup's name), the rest a status
// CSV. Whatever they hold, the page is a well-formed XHTML document a strict parser reads.
#include <libxml/parser.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <string_view>

#include "cli/service_report.h"
#include "fuzz/fuzz_check.h"
#include "laminator/status_csv.h"

namespace {
// The next line of `rest`, or all of it when there is no more line break.
std::string NextLine(std::string_view& rest) {
    const std::size_t end = rest.find('\n');
    const std::string line(rest.substr(0, end));
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    return line;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    ServiceReport report;
    report.createdMs = 1798761600000;
    report.version = "0";
    report.baselineFile = NextLine(rest);
    report.baselineModel = NextLine(rest);
    report.baselineSerial = NextLine(rest);
    ReportSection section;
    section.target = NextLine(rest);
    section.baselineMismatch = NextLine(rest);
    section.messages.push_back({1798761600000, std::string(NextLine(rest))});
    // Each parameter takes a value and a baseline from the texts, as long as they last.
    const std::string_view csvMark = "\n\n";
    const std::size_t csvAt = rest.find(csvMark);
    std::string_view texts = rest.substr(0, csvAt);
    // Only as many rows as there are texts (and one unread): the page stays small and fast.
    for (const ParameterInfo& info : Catalogue()) {
        ReportParameter p;
        p.info = &info;
        const bool last = texts.empty();
        if (!last) {
            p.value = NextLine(texts);
            if (!texts.empty() && (info.row & 1) != 0)
                p.baseline = NextLine(texts);
            if ((info.row & 2) != 0)
                p.limitProblem = *p.value;
        }
        section.parameters.push_back(std::move(p));
        if (last)
            break;
    }
    if (csvAt != std::string_view::npos) {
        std::istringstream csv{std::string(rest.substr(csvAt + csvMark.size()))};
        std::string error;
        if (const auto rows = ReadStatusCsv(csv, error))
            section.history = *rows;
    }
    report.sections.push_back(std::move(section));

    const std::string page = ReportXhtml(report);
    xmlDocPtr doc =
        xmlReadMemory(page.data(), static_cast<int>(page.size()), "report.html", nullptr,
                      XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_HUGE);
    FUZZ_CHECK(doc != nullptr);
    xmlFreeDoc(doc);
    return 0;
}
