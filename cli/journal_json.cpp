#include "cli/journal_json.h"

#include "cli/spliced_json.h"
#include "laminator/status_csv.h"

nlohmann::json DetailsJson(const std::string& details) {
    nlohmann::json j = nlohmann::json::parse(details, nullptr, false);
    return j.is_discarded() ? nlohmann::json(details) : j;
}

nlohmann::json OperationJson(const StoredOperation& o) {
    const OperationRecord& r = o.record;
    return {{"time", IsoTime(r.timeMs)},
            {"laminator", o.laminator},
            {"serial", o.serial},
            {"kind", r.kind},
            {"result", r.result},
            {"duration-ms", r.durationMs},
            {"link", r.link},
            {"user", r.user},
            {"version", r.version},
            {"message", r.message},
            {"details", DetailsJson(r.details)}};
}

namespace {
void Field(std::string& out, const std::string& indent, const char* key, bool first) {
    out += first ? "\n" : ",\n";
    out += indent;
    out += "    \"";
    out += key;
    out += "\": ";
}
}  // namespace

// Written as the tree would write it, keys in its order; a third of a million readings as
// a tree took seconds in memory allocation alone.
void AppendReadingsJson(std::string& out, const std::vector<StoredReading>& rows,
                        const std::string& indent) {
    if (rows.empty()) {
        out += "[]";
        return;
    }
    // About a row's size as written, so that the text is not copied as it grows.
    out.reserve(out.size() + rows.size() * (300 + 14 * indent.size()));
    out += "[\n";
    std::string laminator;
    std::string laminatorJson = JsonString(laminator);
    bool firstRow = true;
    for (const StoredReading& r : rows) {
        const StatusSample& s = r.sample;
        if (r.laminator != laminator) {
            laminator = r.laminator;
            laminatorJson = JsonString(laminator);
        }
        out += firstRow ? "" : ",\n";
        firstRow = false;
        out += indent;
        out += "  {";
        const bool thinned = !s.gap && r.spanMs > 0;
        bool first = true;
        if (thinned) {
            Field(out, indent, "environment-max", first);
            AppendJsonDouble(out, r.environmentMax / 100.0);
            Field(out, indent, "environment-min", false);
            AppendJsonDouble(out, r.environmentMin / 100.0);
            first = false;
        }
        if (!s.gap) {
            Field(out, indent, "environment-temperature", first);
            AppendJsonDouble(out, s.EnvironmentCelsius());
            Field(out, indent, "error-code", false);
            out += std::to_string(s.error);
            first = false;
        }
        Field(out, indent, "gap", first);
        out += s.gap ? "true" : "false";
        Field(out, indent, "laminator", false);
        out += laminatorJson;
        if (thinned) {
            Field(out, indent, "roller-max", false);
            AppendJsonDouble(out, r.rollerMax / 100.0);
            Field(out, indent, "roller-min", false);
            AppendJsonDouble(out, r.rollerMin / 100.0);
        }
        if (!s.gap) {
            Field(out, indent, "roller-temperature", false);
            AppendJsonDouble(out, s.RollerCelsius());
        }
        Field(out, indent, "span-ms", false);
        out += std::to_string(r.spanMs);
        if (!s.gap) {
            Field(out, indent, "state-code", false);
            out += std::to_string(s.state);
        }
        Field(out, indent, "time", false);
        out += '"';
        out += IsoTime(s.timeMs);
        out += "\"\n";
        out += indent;
        out += "  }";
    }
    out += "\n";
    out += indent;
    out += "]";
}

nlohmann::json ReadingsJson(SplicedJson& document, const std::vector<StoredReading>& rows) {
    return document.Hole([&rows](std::string& out, const std::string& indent) {
        AppendReadingsJson(out, rows, indent);
    });
}
