#include "journal/service_record_view.h"

#include <algorithm>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "journal/journal_db.h"
#include "journal/journal_history.h"
#include "laminator/chart_reduction.h"

namespace {
std::string Text(const nlohmann::json& j, const char* key) {
    if (!j.contains(key))
        return {};
    const nlohmann::json& v = j[key];
    return v.is_string() ? v.get<std::string>() : v.dump();
}
}  // namespace

ServiceRecordView LoadServiceRecord(const std::string& path, const std::string& laminator,
                                    std::int64_t sinceMs, std::int64_t untilMs, int columns) {
    ServiceRecordView view;
    std::error_code ec;
    if (path.empty()) {
        view.problem = "No service record is kept (--no-journal).";
        return view;
    }
    if (!std::filesystem::exists(path, ec)) {
        view.problem = "No service record yet: " + path + " does not exist.";
        return view;
    }
    std::string error;
    std::unique_ptr<JournalDb> db = JournalDb::Open(path, error, 1000);
    if (!db) {
        view.problem = "The service record cannot be read: " + error + ".";
        return view;
    }
    const std::vector<LaminatorRow> known = db->Laminators();
    const bool found = std::any_of(known.begin(), known.end(), [&](const LaminatorRow& r) {
        return r.key == laminator || (!laminator.empty() && r.identity.serial == laminator);
    });
    if (laminator.empty() || !found) {
        view.problem = "The service record " + path + " holds nothing of " +
                       (laminator.empty() ? std::string("this laminator") : laminator) + " yet.";
        return view;
    }
    JournalQuery query;
    query.serial = laminator;
    query.sinceMs = sinceMs;
    query.untilMs = untilMs;
    view.operations = db->Operations(query);
    for (const StoredOperation& o : view.operations)
        view.details.push_back(OperationDetailsLine(o.record));
    const std::vector<StoredReading> readings = db->Readings(query);
    view.readings = static_cast<std::int64_t>(readings.size());
    // Raw readings, minutes and hours each reduced apart: a minute between thinned readings
    // is their cycle, not a stretch nobody measured.
    std::vector<StoredReading> run;
    for (std::size_t i = 0; i < readings.size(); ++i) {
        run.push_back(readings[i]);
        if (i + 1 == readings.size() || readings[i + 1].spanMs != readings[i].spanMs) {
            const std::vector<StatusSample> reduced =
                ReduceForChart(HistoryOfReadings(run), sinceMs, untilMs, std::max(1, columns));
            view.chart.insert(view.chart.end(), reduced.begin(), reduced.end());
            run.clear();
        }
    }
    return view;
}

std::string OperationWhat(const std::string& kind) {
    static const std::pair<const char*, const char*> kWhat[] = {
        {"get", "Parameters read"},
        {"set", "Parameters written"},
        {"backup", "Backup"},
        {"restore", "Restore"},
        {"firmware", "Firmware download"},
        {"reset", "Reset to defaults"},
        {"mode", "Mode switch"},
        {"send", "Command sent"},
        {"model-read", "Model name read"},
        {"model-name", "Model name written"},
        {"netconfig", "Network settings"},
        {"network-read", "Network settings read"},
        {"network-write", "Network settings written"},
        {"connect", "Connected"},
        {"disconnect", "Disconnected"},
        {"info", "Information read"},
        {"probe", "Probe"},
        {"report", "Service report"},
    };
    for (const auto& [k, what] : kWhat) {
        if (kind == k)
            return what;
    }
    return kind;
}

std::string OperationDetailsLine(const OperationRecord& record, bool withMessage) {
    nlohmann::json d = nlohmann::json::parse(record.details, nullptr, false);
    if (d.is_object())
        d.erase("exit");  // the result says it
    std::vector<std::string> parts;
    if (d.is_object()) {
        if (d.contains("changes") && d["changes"].is_array()) {
            // The window keeps old and new, pellacorctl before and after (as read back).
            for (const nlohmann::json& c : d["changes"]) {
                if (c.is_object())
                    parts.push_back(Text(c, c.contains("name") ? "name" : "key") + ": " +
                                    Text(c, c.contains("old") ? "old" : "before") + " → " +
                                    Text(c, c.contains("new") ? "new" : "after"));
            }
        }
        if (d.contains("old") && d.contains("new"))
            parts.push_back(Text(d, "old") + " → " + Text(d, "new"));
        if (d.contains("file") && d["file"].is_object()) {
            const nlohmann::json& f = d["file"];
            std::string file = Text(f, "name");
            if (f.contains("size"))
                file += ", " + Text(f, "size") + " bytes";
            if (f.contains("sha256"))
                file += ", SHA-256 " + Text(f, "sha256");
            parts.push_back(file);
        }
        if (d.contains("acknowledged") && d.contains("frames"))
            parts.push_back(Text(d, "acknowledged") + " of " + Text(d, "frames") +
                            " frames acknowledged");
        if (d.contains("values") && d["values"].is_object() && parts.empty()) {
            std::string values;
            for (const auto& [k, v] : d["values"].items())
                values += (values.empty() ? "" : ", ") + k + " " +
                          (v.is_string() ? v.get<std::string>() : v.dump());
            parts.push_back(values);
        }
        // Network settings: what changed from the settings before to those read back after,
        // or sent where nothing was read back; a read shows what it found.
        const nlohmann::json* to = d.contains("after") && d["after"].is_object() ? &d["after"]
                                   : d.contains("sent") && d["sent"].is_object() ? &d["sent"]
                                                                                 : nullptr;
        if (to && d.contains("before") && d["before"].is_object()) {
            for (const auto& [k, v] : d["before"].items()) {
                if (to->contains(k) && (*to)[k] != v)
                    parts.push_back(k + ": " + Text(d["before"], k.c_str()) + " → " +
                                    Text(*to, k.c_str()));
            }
            if (parts.empty())
                parts.push_back("no change");
        }
        if (d.contains("settings") && d["settings"].is_object()) {
            std::string settings;
            for (const auto& [k, v] : d["settings"].items())
                settings +=
                    (settings.empty() ? "" : ", ") + k + " " + Text(d["settings"], k.c_str());
            parts.push_back(settings);
        }
        if (d.contains("bytes"))
            parts.push_back(Text(d, "bytes") + " → " +
                            (Text(d, "reply").empty() ? "no reply" : Text(d, "reply")));
        // Details of a kind no line above knows are shown as they were kept.
        if (parts.empty() && !d.empty())
            parts.push_back(d.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
    }
    if (withMessage && !record.message.empty()) {
        std::string message = record.message;
        std::replace(message.begin(), message.end(), '\n', ' ');
        parts.push_back(message);
    }
    std::string line;
    for (const std::string& p : parts)
        line += (line.empty() ? "" : "; ") + p;
    return line;
}
