#include "cli/service_report.h"

#include <algorithm>
#include <cstdio>

#include "cli/journal_json.h"
#include "cli/parameter_names.h"
#include "cli/shown_text.h"
#include "cli/spliced_json.h"
#include "cli/status_chart_svg.h"
#include "framework/json_text.h"
#include "journal/service_record_view.h"
#include "laminator/descriptions.h"
#include "laminator/status_csv.h"
#include "laminator/status_events.h"
#include "netsetup/net_resources.h"

namespace {
constexpr std::size_t kMaxEventsShown = 200;
constexpr std::size_t kMaxOperationsShown = 500;
constexpr std::size_t kMaxDetailsShown = 300;

std::string Figure(const std::optional<double>& v, const char* unit) {
    if (!v)
        return "not covered";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f %s", *v, unit);
    return text;
}

const char* kStyle =
    "@page{size:A4;margin:14mm}"
    "body{font-family:sans-serif;font-size:10pt;color:#111;max-width:182mm;margin:auto}"
    "h1{font-size:16pt;margin:0 0 2mm}h2{font-size:13pt;border-bottom:1px solid #888;"
    "margin-top:6mm;page-break-before:auto}h3{font-size:11pt}"
    "section.laminator+section.laminator{page-break-before:always}"
    "table{border-collapse:collapse;width:100%;margin:2mm 0}"
    "th,td{border:1px solid #bbb;padding:1mm 1.5mm;text-align:left;vertical-align:top}"
    "th{background:#eee}tr{page-break-inside:avoid}"
    "td.description{font-size:8pt;color:#444}"
    "tr.out-of-range td.value{background:#fdd;font-weight:bold}"
    "tr.changed td.value{background:#ffd}tr.not-read td.value{color:#666}"
    "del{color:#a00}ins{color:#060;text-decoration:none;font-weight:bold}"
    ".note{font-size:8pt;color:#a00}"
    "svg.chart{width:100%;height:auto;border:1px solid #bbb}"
    "svg .grid{stroke:#ddd;stroke-width:1}svg .axis{font-size:10px;fill:#444}"
    "svg .roller{fill:none;stroke:#c0392b;stroke-width:1.5;stroke-linecap:round}"
    "svg .environment{fill:none;stroke:#2471a3;stroke-width:1.2;stroke-linecap:round}"
    "svg .set{stroke:#555;stroke-dasharray:6 4}"
    "svg .mark{stroke:#7d3c98;stroke-width:1;opacity:.5}svg .fault{stroke:#e67e22;opacity:.9}"
    "svg .mark-label{font-size:8px;fill:#5b2c6f}.messages .time{color:#666;margin-right:2mm}"
    ".legend span{margin-right:4mm}.r{color:#c0392b}.e{color:#2471a3}.s{color:#555}"
    "footer{margin-top:6mm;font-size:8pt;color:#666}";

std::string Cell(const std::string& text, const char* cls = nullptr) {
    return std::string("<td") + (cls ? std::string(" class=\"") + cls + "\"" : "") + ">" + text +
           "</td>";
}

// Description texts keep their line breaks.
std::string Multiline(const std::string& text) {
    std::string out;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos)
            end = text.size();
        if (!out.empty())
            out += "<br/>";
        out += XmlEscape(text.substr(start, end - start));
        start = end + 2;
    }
    return out;
}

std::string ParameterTable(const ReportSection& s, bool withBaseline) {
    std::string html =
        "<table class=\"parameters\"><thead><tr><th>Group</th><th>Parameter</th><th>Value</th>"
        "<th>Unit</th><th>Access</th><th>Limits and description</th></tr></thead><tbody>";
    for (const ReportParameter& p : s.parameters) {
        std::string cls;
        if (p.limitProblem)
            cls += "out-of-range";
        if (p.baseline)
            cls += std::string(cls.empty() ? "" : " ") + "changed";
        if (!p.value)
            cls += "not-read";
        html += "<tr id=\"" + StableKey(p.info->name) + "\"" +
                (cls.empty() ? "" : " class=\"" + cls + "\"") + ">";
        html += Cell(XmlEscape(std::string(p.info->group)));
        html += Cell(XmlEscape(std::string(p.info->name)));
        std::string value = p.value ? XmlEscape(*p.value) : "<em>not read</em>";
        if (p.baseline)
            value = "<del title=\"backup\">" + XmlEscape(*p.baseline) + "</del> → <ins>" + value +
                    "</ins>";
        if (p.limitProblem)
            value +=
                "<div class=\"note\">Outside its limits: " + XmlEscape(*p.limitProblem) + "</div>";
        html += Cell(value, "value");
        html += Cell(XmlEscape(std::string(p.info->unit)));
        html += Cell(p.info->readWrite ? "Read/Write" : "Read only");
        std::string about;
        if (p.info->limitString)
            about += "<div>" + XmlEscape(std::string(LimitMessage(p.info->limitString))) + "</div>";
        if (const auto d = RowDescription(p.info->group, p.info->row))
            about += Multiline(std::string(*d));
        html += Cell(about, "description");
        html += "</tr>";
    }
    (void)withBaseline;
    return html + "</tbody></table>";
}

std::string IdentityTable(const ReportSection& s) {
    std::string html = "<table class=\"identity\"><tbody>";
    for (const ReportParameter& p : s.parameters) {
        if (p.info->group != kGroupVersionInfo && p.info->group != kGroupLaminatorInfo)
            continue;
        html += "<tr><th>" + XmlEscape(std::string(p.info->name)) + "</th>" +
                Cell(p.value ? XmlEscape(*p.value) : "<em>not read</em>") + "</tr>";
    }
    return html + "</tbody></table>";
}

// Lowest and highest of each temperature: a thinned span's extremes are readings of it.
std::string ExtremeRows(const std::vector<StatusSample>& history) {
    bool any = false;
    std::uint16_t rLow = 0, rHigh = 0, eLow = 0, eHigh = 0;
    for (const StatusSample& r : history) {
        if (r.gap)
            continue;
        rLow = any ? std::min(rLow, r.rollerCenti) : r.rollerCenti;
        rHigh = any ? std::max(rHigh, r.rollerCenti) : r.rollerCenti;
        eLow = any ? std::min(eLow, r.environmentCenti) : r.environmentCenti;
        eHigh = any ? std::max(eHigh, r.environmentCenti) : r.environmentCenti;
        any = true;
    }
    if (!any)
        return {};
    const auto range = [](std::uint16_t low, std::uint16_t high) {
        return "lowest " + Figure(low / 100.0, "°C") + ", highest " + Figure(high / 100.0, "°C");
    };
    return "<tr class=\"roller-range\"><th>Roller temperature</th>" + Cell(range(rLow, rHigh)) +
           "</tr><tr class=\"environment-range\"><th>Environment temperature</th>" +
           Cell(range(eLow, eHigh)) + "</tr>";
}

// What the readings are: as taken, or the journal's thinned spans.
std::string ReadingCounts(const ReportSection& s) {
    if (!s.period) {
        const auto gaps = static_cast<std::size_t>(std::count_if(
            s.history.begin(), s.history.end(), [](const StatusSample& r) { return r.gap; }));
        return std::to_string(s.history.size() - gaps) + " readings and " + std::to_string(gaps) +
               " cycles without a reply, from " + IsoTime(s.history.front().timeMs) + " to " +
               IsoTime(s.history.back().timeMs);
    }
    const std::vector<StoredReading>& kept = s.period->readings;
    std::size_t taken = 0, thinned = 0, gaps = 0;
    for (const StoredReading& r : kept) {
        if (r.sample.gap)
            ++gaps;
        else if (r.spanMs > 0)
            ++thinned;
        else
            ++taken;
    }
    return std::to_string(taken) + " readings as taken, " + std::to_string(thinned) +
           " thinned minutes or hours (each with its lowest, highest and last state) and " +
           std::to_string(gaps) + " cycles without a reply, from " +
           IsoTime(kept.front().sample.timeMs) + " to " + IsoTime(kept.back().sample.timeMs);
}

// The details as the window's service record shows them; the message has its own column.
std::string OperationDetails(const OperationRecord& r) {
    std::string text = OperationDetailsLine(r, false);
    if (text.size() > kMaxDetailsShown)
        text = text.substr(0, kMaxDetailsShown) + "…";
    return text;
}

std::string PeriodText(const ReportPeriod& p) {
    return "From the service record, " +
           (p.sinceMs ? IsoTime(*p.sinceMs) : std::string("its first record")) + " to " +
           IsoTime(p.untilMs) +
           ": the laminator was not asked; what is shown is what the journal kept.";
}

std::string PeriodIdentity(const ReportPeriod& p) {
    const std::pair<const char*, const std::string*> rows[] = {
        {"Serial number", &p.identity.serial},
        {"Model", &p.identity.model},
        {"MAC address", &p.identity.mac},
        {"Last reached by", &p.identity.link},
    };
    std::string html = "<table class=\"identity\"><tbody>";
    for (const auto& [label, value] : rows)
        html += std::string("<tr><th>") + label + "</th>" +
                Cell(value->empty() ? "<em>not known</em>" : XmlEscape(*value)) + "</tr>";
    return html + "</tbody></table>";
}

std::string OperationsTable(const ReportPeriod& p) {
    std::string html = "<h3>Operations</h3>";
    if (p.operations.empty())
        return html + "<p>None in this period.</p>";
    html +=
        "<table class=\"operations\"><thead><tr><th>Time (UTC)</th><th>What</th><th>Result</th>"
        "<th>Message</th><th>Details</th></tr></thead><tbody>";
    const std::size_t skip =
        p.operations.size() > kMaxOperationsShown ? p.operations.size() - kMaxOperationsShown : 0;
    if (skip > 0)
        html +=
            "<tr><td colspan=\"5\" class=\"note\">More operations than a page lists: only the "
            "newest " +
            std::to_string(kMaxOperationsShown) + " are shown.</td></tr>";
    for (std::size_t i = skip; i < p.operations.size(); ++i) {
        const OperationRecord& r = p.operations[i].record;
        html += "<tr class=\"" + std::string(r.result == "done" ? "done" : "not-done") + "\">" +
                Cell(IsoTime(r.timeMs)) + Cell(XmlEscape(r.kind)) + Cell(XmlEscape(r.result)) +
                Cell(XmlEscape(r.message)) + Cell(XmlEscape(OperationDetails(r))) + "</tr>";
    }
    return html + "</tbody></table>";
}

std::string Timeline(const ReportSection& s) {
    std::string html =
        s.period ? "<h3>Status over the period</h3>" : "<h3>Status over the visit</h3>";
    if (s.history.empty())
        return html + "<p>No status was read.</p>";
    html +=
        "<p class=\"legend\"><span class=\"r\">— roller</span><span class=\"e\">— "
        "environment</span>" +
        std::string(s.setCelsius ? "<span class=\"s\">- - set temperature</span>" : "") + "</p>";
    html += StatusChartSvg(s.history, s.setCelsius);
    html += "<table class=\"warmup\"><tbody>";
    html += "<tr><th>Figures for</th>" +
            Cell((s.warmup.setCelsius ? "set temperature " + Figure(s.warmup.setCelsius, "°C")
                                      : std::string("no set temperature read")) +
                 (s.warmup.setChangedMs > 0 ? " (set at " + IsoTime(s.warmup.setChangedMs) + ")"
                                            : std::string()) +
                 (s.warmup.toMs > 0 ? ", readings from " + IsoTime(s.warmup.fromMs) + " to " +
                                          IsoTime(s.warmup.toMs)
                                    : std::string())) +
            "</tr>";
    html += "<tr><th>Time to within 5 °C of the set temperature</th>" +
            Cell(Figure(s.warmup.secondsToBand, "s")) + "</tr>";
    html += "<tr><th>Overshoot</th>" + Cell(Figure(s.warmup.overshoot, "°C")) + "</tr>";
    html += "<tr><th>Spread within 5 °C once ready</th>" + Cell(Figure(s.warmup.spread, "°C")) +
            "</tr>";
    html += ExtremeRows(s.history);
    html += "<tr><th>Readings</th>" + Cell(ReadingCounts(s)) + "</tr></tbody></table>";
    html +=
        "<table class=\"events\"><thead><tr><th>Time (UTC)</th><th>Change</th></tr></thead><tbody>";
    const std::vector<StatusEvent> events = StatusEvents(s.history, kMaxEventsShown + 1);
    if (events.size() > kMaxEventsShown)
        html +=
            "<tr><td colspan=\"2\" class=\"note\">More changes than a page lists: only the "
            "newest " +
            std::to_string(kMaxEventsShown) + " are shown.</td></tr>";
    for (std::size_t i = events.size() > kMaxEventsShown ? 1 : 0; i < events.size(); ++i) {
        const StatusEvent& e = events[i];
        html += std::string("<tr") + (e.fault ? " class=\"fault\"" : "") + ">" +
                Cell(IsoTime(e.timeMs)) + Cell(XmlEscape(e.text)) + "</tr>";
    }
    return html + "</tbody></table>";
}

// The backup compared with: which laminator's, and when it was saved.
std::string BaselineText(const ServiceReport& report) {
    if (report.baselineFile.empty())
        return {};
    std::string text = ", against the backup " + XmlEscape(report.baselineFile) + " (model " +
                       XmlEscape(report.baselineModel.empty() ? "unnamed" : report.baselineModel) +
                       ", serial number " +
                       XmlEscape(report.baselineSerial.empty() ? "unknown" : report.baselineSerial);
    if (report.baselineDateMs > 0)
        text += ", saved " + IsoTime(report.baselineDateMs);
    return text + ")";
}

std::string Summary(const ReportSection& s, bool withBaseline) {
    std::size_t outside = 0;
    std::size_t changed = 0;
    for (const ReportParameter& p : s.parameters) {
        outside += p.limitProblem ? 1 : 0;
        changed += p.baseline ? 1 : 0;
    }
    const std::size_t notRead = NotReadCount(s);
    std::string text = std::to_string(s.parameters.size() - notRead) + " values read, " +
                       std::to_string(notRead) + " not read, " + std::to_string(outside) +
                       " outside their limits";
    if (withBaseline)
        text += ", " + std::to_string(changed) + " changed against the backup";
    return text + ".";
}

nlohmann::json OptionalNumber(const std::optional<double>& v) {
    return v ? nlohmann::json(*v) : nlohmann::json(nullptr);
}
// The network settings under the labels of the window's settings dialog.
std::string NetworkRows(const nlohmann::json& network) {
    const std::pair<const char*, std::string_view> rows[] = {
        {"name", kStringDeviceName},    {"method", kLabelIpMethod},
        {"ip-address", kLabelStaticIp}, {"subnet-mask", kLabelSubnetMask},
        {"gateway", kLabelGateway},
    };
    std::string html;
    for (const auto& [key, label] : rows) {
        if (!network.contains(key) || !network[key].is_string())
            continue;
        std::string value = network[key].get<std::string>();
        if (std::string_view(key) == "method")
            value = std::string(value == "static" ? kMethodStatic : kMethodDynamic);
        html += "<tr><th>" + std::string(label) + "</th>" + Cell(XmlEscape(value)) + "</tr>";
    }
    return html;
}
}  // namespace

std::string XmlEscape(const std::string& bytes) {
    const std::string text = ShownText(bytes);
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::size_t NotReadCount(const ReportSection& section) {
    std::size_t n = 0;
    for (const ReportParameter& p : section.parameters)
        n += p.value ? 0 : 1;
    return n;
}

std::string ReportXhtml(const ServiceReport& report) {
    std::string html =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE html>\n"
        "<html xmlns=\"http://www.w3.org/1999/xhtml\" lang=\"en\" xml:lang=\"en\">\n<head>"
        "<meta charset=\"UTF-8\"/><title>Laminator service report</title><style>";
    html += kStyle;
    html += "</style></head>\n<body>\n<h1>Laminator service report</h1>";
    html += "<p>Made " + IsoTime(report.createdMs) + " by pellacorctl " +
            XmlEscape(report.version) + BaselineText(report) + ".</p>\n";
    if (report.cutShort)
        html +=
            "<p class=\"note cut-short\">Cut short by Ctrl-C: the status readings up to then; "
            "the laminators were not read afterwards.</p>\n";
    for (const ReportSection& s : report.sections) {
        html += "<section class=\"laminator\"><h2>" + XmlEscape(s.target) + "</h2>";
        if (s.exit != 0)
            html += "<p class=\"note\">Not everything could be read (exit status " +
                    std::to_string(s.exit) + ").</p>";
        if (!s.baselineMismatch.empty())
            html +=
                "<p class=\"note baseline-mismatch\">Compared with the backup of another "
                "laminator (--force): " +
                XmlEscape(s.baselineMismatch) + ".</p>";
        if (s.period) {
            html += "<p class=\"period\">" + PeriodText(*s.period) + "</p>";
            html += "<h3>Identity</h3>" + PeriodIdentity(*s.period);
            html += OperationsTable(*s.period);
            if (NotReadCount(s) == s.parameters.size()) {
                html += "<h3>Parameters</h3><p>None was read or written in this period.</p>";
            } else {
                html += "<p class=\"summary\">" + Summary(s, !report.baselineFile.empty()) + "</p>";
                html += "<h3>Parameters as last read or written in the period</h3>" +
                        ParameterTable(s, !report.baselineFile.empty());
            }
        } else if (!s.connected) {
            html +=
                "<p class=\"not-read\">The laminator was not read: the report was cut "
                "short.</p>";
        } else if (!*s.connected) {
            html +=
                "<p class=\"not-read\">No connection to this laminator: none of its "
                "parameters was read.</p>";
        } else {
            html += "<p class=\"summary\">" + Summary(s, !report.baselineFile.empty()) + "</p>";
            html += "<h3>Identity</h3>" + IdentityTable(s);
            html += "<h3>Parameters</h3>" + ParameterTable(s, !report.baselineFile.empty());
        }
        if (s.network.is_object()) {
            html += "<h3>Network settings (network search)</h3><table class=\"network\"><tbody>";
            html += NetworkRows(s.network);
            html += "</tbody></table>";
        }
        html += Timeline(s);
        html += "<h3>Messages</h3>";
        if (s.messages.empty()) {
            html += "<p>None.</p>";
        } else {
            html += "<ul class=\"messages\">";
            for (const ReportMessage& m : s.messages)
                html += "<li><span class=\"time\">" + IsoTime(m.timeMs) + "</span> " +
                        XmlEscape(m.text) + "</li>";
            html += "</ul>";
        }
        html += "</section>\n";
    }
    html +=
        "<footer>Values as the laminator reported them. Times in UTC; the chart's in local time "
        "with its offset.</footer>\n</body>\n"
        "</html>\n";
    return html;
}

nlohmann::json ReportJson(const ServiceReport& report, SplicedJson& document) {
    nlohmann::json sections = nlohmann::json::array();
    for (const ReportSection& s : report.sections) {
        nlohmann::json params = nlohmann::json::array();
        for (const ReportParameter& p : s.parameters) {
            nlohmann::json j = {{"key", StableKey(p.info->name)},
                                {"name", std::string(p.info->name)},
                                {"group", std::string(p.info->group)},
                                {"unit", std::string(p.info->unit)},
                                {"access", p.info->readWrite ? "Read/Write" : "Read only"}};
            j["value"] = p.value ? nlohmann::json(ShownText(*p.value)) : nullptr;
            j["limits"] = p.info->limitString
                              ? nlohmann::json(std::string(LimitMessage(p.info->limitString)))
                              : nullptr;
            const auto d = RowDescription(p.info->group, p.info->row);
            j["description"] = d ? nlohmann::json(std::string(*d)) : nullptr;
            j["out-of-range"] = p.limitProblem ? nlohmann::json(*p.limitProblem) : nullptr;
            j["baseline"] = p.baseline ? nlohmann::json(ShownText(*p.baseline)) : nullptr;
            params.push_back(std::move(j));
        }
        nlohmann::json events = nlohmann::json::array();
        for (const StatusEvent& e : StatusEvents(s.history))
            events.push_back(
                {{"time", IsoTime(e.timeMs)}, {"text", ShownText(e.text)}, {"fault", e.fault}});
        nlohmann::json readings = nlohmann::json::array();
        nlohmann::json operations = nlohmann::json::array();
        nlohmann::json period = nullptr;
        if (s.period) {
            const ReportPeriod& p = *s.period;
            period = {{"since", p.sinceMs ? nlohmann::json(IsoTime(*p.sinceMs)) : nullptr},
                      {"until", IsoTime(p.untilMs)},
                      {"laminator", ShownText(p.key)},
                      {"serial", ShownText(p.identity.serial)},
                      {"model", ShownText(p.identity.model)},
                      {"mac", ShownText(p.identity.mac)},
                      {"link", ShownText(p.identity.link)}};
            for (const StoredOperation& o : p.operations)
                operations.push_back(OperationJson(o));
            readings = ReadingsJson(document, p.readings);
        }
        // A past period's readings are listed as kept, above; a visit's as read.
        const std::vector<StatusSample> none;
        for (const StatusSample& r : s.period ? none : s.history) {
            if (r.gap) {
                readings.push_back({{"time", IsoTime(r.timeMs)}, {"gap", true}});
                continue;
            }
            readings.push_back({{"time", IsoTime(r.timeMs)},
                                {"roller-temperature", r.RollerCelsius()},
                                {"environment-temperature", r.EnvironmentCelsius()},
                                {"state", SampleStateText(r)},
                                {"error", SampleErrorText(r)}});
        }
        std::vector<std::string> messages;
        for (const ReportMessage& m : s.messages)
            messages.push_back(ShownText(m.text));
        sections.push_back(
            {{"target", ShownText(s.target)},
             {"exit", s.exit},
             {"connected", s.connected ? nlohmann::json(*s.connected) : nullptr},
             {"not-read", NotReadCount(s)},
             {"baseline-mismatch", s.baselineMismatch.empty()
                                       ? nlohmann::json(nullptr)
                                       : nlohmann::json(ShownText(s.baselineMismatch))},
             {"parameters", std::move(params)},
             {"set-temperature", OptionalNumber(s.setCelsius)},
             {"warmup",
              {{"set-temperature", OptionalNumber(s.warmup.setCelsius)},
               {"from", s.warmup.toMs > 0 ? nlohmann::json(IsoTime(s.warmup.fromMs)) : nullptr},
               {"to", s.warmup.toMs > 0 ? nlohmann::json(IsoTime(s.warmup.toMs)) : nullptr},
               {"seconds-to-within-5", OptionalNumber(s.warmup.secondsToBand)},
               {"overshoot", OptionalNumber(s.warmup.overshoot)},
               {"spread", OptionalNumber(s.warmup.spread)}}},
             {"events", std::move(events)},
             {"period", std::move(period)},
             {"operations", std::move(operations)},
             {"readings", std::move(readings)},
             {"messages", messages},
             {"network", s.network}});
    }
    return {
        {"format", "pellacor-report"},
        {"created", IsoTime(report.createdMs)},
        {"version", ShownText(report.version)},
        {"baseline", report.baselineFile.empty() ? nlohmann::json(nullptr)
                                                 : nlohmann::json(ShownText(report.baselineFile))},
        {"baseline-model", ShownText(report.baselineModel)},
        {"baseline-serial", ShownText(report.baselineSerial)},
        {"baseline-saved",
         report.baselineDateMs > 0 ? nlohmann::json(IsoTime(report.baselineDateMs)) : nullptr},
        {"cut-short", report.cutShort},
        {"exit", report.exit},
        {"laminators", std::move(sections)}};
}
