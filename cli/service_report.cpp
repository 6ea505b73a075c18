#include "cli/service_report.h"

#include <algorithm>
#include <cstdio>

#include "cli/json_text.h"
#include "cli/parameter_names.h"
#include "cli/shown_text.h"
#include "cli/status_chart_svg.h"
#include "laminator/descriptions.h"
#include "laminator/status_csv.h"
#include "laminator/status_events.h"
#include "netsetup/net_resources.h"

namespace {
constexpr std::size_t kMaxEventsShown = 200;

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

std::string Timeline(const ReportSection& s) {
    std::string html = "<h3>Status over the visit</h3>";
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
    const auto gaps = static_cast<std::size_t>(std::count_if(
        s.history.begin(), s.history.end(), [](const StatusSample& r) { return r.gap; }));
    html += "<tr><th>Readings</th>" +
            Cell(std::to_string(s.history.size() - gaps) + " readings and " + std::to_string(gaps) +
                 " cycles without a reply, from " + IsoTime(s.history.front().timeMs) + " to " +
                 IsoTime(s.history.back().timeMs)) +
            "</tr></tbody></table>";
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
        if (!s.connected) {
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

nlohmann::json ReportJson(const ServiceReport& report) {
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
        for (const StatusSample& r : s.history) {
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
             {"parameters", params},
             {"set-temperature", OptionalNumber(s.setCelsius)},
             {"warmup",
              {{"set-temperature", OptionalNumber(s.warmup.setCelsius)},
               {"from", s.warmup.toMs > 0 ? nlohmann::json(IsoTime(s.warmup.fromMs)) : nullptr},
               {"to", s.warmup.toMs > 0 ? nlohmann::json(IsoTime(s.warmup.toMs)) : nullptr},
               {"seconds-to-within-5", OptionalNumber(s.warmup.secondsToBand)},
               {"overshoot", OptionalNumber(s.warmup.overshoot)},
               {"spread", OptionalNumber(s.warmup.spread)}}},
             {"events", events},
             {"readings", readings},
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
        {"laminators", sections}};
}
