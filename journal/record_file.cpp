#include "journal/record_file.h"

#include <nlohmann/json.hpp>

namespace {
constexpr const char* kFormat = "pellacor-service-record";
constexpr int kVersion = 1;

std::string Dump(const nlohmann::json& j) {
    return j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

// A text field within bounds, or nullopt.
std::optional<std::string> Text(const nlohmann::json& o, const char* key) {
    const auto it = o.find(key);
    if (it == o.end() || !it->is_string())
        return std::nullopt;
    const std::string& s = it->get_ref<const std::string&>();
    if (s.size() > kMaxRecordText)
        return std::nullopt;
    return s;
}

// An integer within [low, high] (high is never negative), or nullopt.
std::optional<std::int64_t> Integer(const nlohmann::json& j, std::int64_t low, std::int64_t high) {
    std::int64_t v = 0;
    if (j.is_number_unsigned()) {
        const std::uint64_t u = j.get<std::uint64_t>();
        if (u > static_cast<std::uint64_t>(high))
            return std::nullopt;
        v = static_cast<std::int64_t>(u);
    } else if (j.is_number_integer()) {
        v = j.get<std::int64_t>();
    } else {
        return std::nullopt;
    }
    if (v < low || v > high)
        return std::nullopt;
    return v;
}

constexpr std::int64_t kTimeLow = 0;
constexpr std::int64_t kTimeHigh = 253402300799999;  // 9999-12-31

std::optional<OperationRecord> ParseOperation(const nlohmann::json& o) {
    if (!o.is_object())
        return std::nullopt;
    OperationRecord r;
    const auto time =
        o.contains("time-ms") ? Integer(o["time-ms"], kTimeLow, kTimeHigh) : std::nullopt;
    const auto duration =
        o.contains("duration-ms") ? Integer(o["duration-ms"], 0, kTimeHigh) : std::nullopt;
    const auto link = Text(o, "link"), user = Text(o, "user"), version = Text(o, "version"),
               kind = Text(o, "kind"), result = Text(o, "result"), message = Text(o, "message");
    if (!time || !duration || !link || !user || !version || !kind || !result || !message ||
        !o.contains("details") || !o["details"].is_object())
        return std::nullopt;
    r.details = Dump(o["details"]);
    if (r.details.size() > kMaxRecordLine)
        return std::nullopt;
    r.timeMs = *time;
    r.durationMs = *duration;
    r.link = *link;
    r.user = *user;
    r.version = *version;
    r.kind = *kind;
    r.result = *result;
    r.message = *message;
    return r;
}

// [time, span, gap, state, error, card, roller, environment, roller min, max, environment
// min, max]
std::optional<StoredReading> ParseReading(const nlohmann::json& a) {
    if (!a.is_array() || a.size() != 12)
        return std::nullopt;
    const std::int64_t limits[12][2] = {{kTimeLow, kTimeHigh}, {0, 86'400'000}, {0, 1},
                                        {0, 0xFFFFFFFF},       {0, 0xFFFFFFFF}, {-1, 127},
                                        {0, 0xFFFF},           {0, 0xFFFF},     {0, 0xFFFF},
                                        {0, 0xFFFF},           {0, 0xFFFF},     {0, 0xFFFF}};
    std::int64_t v[12];
    for (std::size_t i = 0; i < 12; ++i) {
        const auto x = Integer(a[i], limits[i][0], limits[i][1]);
        if (!x)
            return std::nullopt;
        v[i] = *x;
    }
    StoredReading r;
    r.sample.timeMs = v[0];
    r.spanMs = v[1];
    r.sample.gap = v[2] != 0;
    r.sample.state = static_cast<std::uint32_t>(v[3]);
    r.sample.error = static_cast<std::uint32_t>(v[4]);
    r.sample.cardSensors = static_cast<std::int8_t>(v[5]);
    r.sample.rollerCenti = static_cast<std::uint16_t>(v[6]);
    r.sample.environmentCenti = static_cast<std::uint16_t>(v[7]);
    r.rollerMin = static_cast<std::uint16_t>(v[8]);
    r.rollerMax = static_cast<std::uint16_t>(v[9]);
    r.environmentMin = static_cast<std::uint16_t>(v[10]);
    r.environmentMax = static_cast<std::uint16_t>(v[11]);
    return r;
}
}  // namespace

std::string FormatRecordFile(const RecordFile& file) {
    const LaminatorIdentity& l = file.laminator;
    std::string out =
        Dump({{"format", kFormat},
              {"version", kVersion},
              {"laminator",
               {{"serial", l.serial}, {"model", l.model}, {"mac", l.mac}, {"link", l.link}}}}) +
        "\n";
    for (const OperationRecord& r : file.operations) {
        nlohmann::json details = nlohmann::json::parse(r.details, nullptr, false);
        if (!details.is_object())
            details = nlohmann::json::object();
        out += Dump({{"operation",
                      {{"time-ms", r.timeMs},
                       {"duration-ms", r.durationMs},
                       {"link", r.link},
                       {"user", r.user},
                       {"version", r.version},
                       {"kind", r.kind},
                       {"result", r.result},
                       {"message", r.message},
                       {"details", details}}}}) +
               "\n";
    }
    for (const StoredReading& r : file.readings) {
        const StatusSample& s = r.sample;
        out += Dump({{"reading",
                      {s.timeMs, r.spanMs, s.gap ? 1 : 0, s.state, s.error, s.cardSensors,
                       s.rollerCenti, s.environmentCenti, r.rollerMin, r.rollerMax,
                       r.environmentMin, r.environmentMax}}}) +
               "\n";
    }
    return out;
}

std::optional<RecordFile> ParseRecordFile(std::string_view text, std::string& error) {
    if (text.size() > kMaxRecordFileBytes) {
        error = "larger than any service record this tool writes";
        return std::nullopt;
    }
    RecordFile file;
    std::size_t lineNumber = 0;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        ++lineNumber;
        const auto fail = [&](const std::string& why) {
            error = "line " + std::to_string(lineNumber) + ": " + why;
            return std::nullopt;
        };
        if (line.size() > kMaxRecordLine)
            return fail("longer than any record");
        const nlohmann::json j = nlohmann::json::parse(line, nullptr, false);
        if (!j.is_object())
            return fail(lineNumber == 1 ? "no service record header" : "not a JSON object");
        if (lineNumber == 1) {
            const auto format = Text(j, "format");
            if (!format || *format != kFormat)
                return fail("no service record header");
            if (!j.contains("version") || j["version"] != kVersion)
                return fail("a service record of another version");
            const nlohmann::json& l = j.contains("laminator") ? j["laminator"] : nlohmann::json();
            if (!l.is_object())
                return fail("names no laminator");
            const auto serial = Text(l, "serial"), model = Text(l, "model"), mac = Text(l, "mac"),
                       link = Text(l, "link");
            if (!serial || !model || !mac || !link ||
                (serial->empty() && mac->empty() && link->empty()))
                return fail("names no laminator");
            file.laminator = {*serial, *model, *mac, *link};
        } else if (j.size() == 1 && j.contains("operation")) {
            std::optional<OperationRecord> r = ParseOperation(j["operation"]);
            if (!r)
                return fail("not an operation as this tool records one");
            file.operations.push_back(std::move(*r));
        } else if (j.size() == 1 && j.contains("reading")) {
            std::optional<StoredReading> r = ParseReading(j["reading"]);
            if (!r)
                return fail("not a reading as this tool records one");
            file.readings.push_back(*r);
        } else {
            return fail("neither an operation nor a reading");
        }
    }
    if (lineNumber == 0) {
        error = "empty: not a Pellacor service record";
        return std::nullopt;
    }
    return file;
}
