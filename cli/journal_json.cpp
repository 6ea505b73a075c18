#include "cli/journal_json.h"

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

nlohmann::json ReadingJson(const StoredReading& r) {
    const StatusSample& s = r.sample;
    nlohmann::json j = {{"time", IsoTime(s.timeMs)},
                        {"laminator", r.laminator},
                        {"span-ms", r.spanMs},
                        {"gap", s.gap}};
    if (!s.gap) {
        j["roller-temperature"] = s.RollerCelsius();
        j["environment-temperature"] = s.EnvironmentCelsius();
        j["state-code"] = s.state;
        j["error-code"] = s.error;
        if (r.spanMs > 0) {
            j["roller-min"] = r.rollerMin / 100.0;
            j["roller-max"] = r.rollerMax / 100.0;
            j["environment-min"] = r.environmentMin / 100.0;
            j["environment-max"] = r.environmentMax / 100.0;
        }
    }
    return j;
}
