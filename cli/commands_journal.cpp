// journal: the service record listed, its laminators, and one laminator's record exported or
// imported.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/journal_json.h"
#include "cli/spliced_json.h"
#include "cli/text_table.h"
#include "framework/file_write.h"
#include "framework/message_box.h"
#include "journal/journal_db.h"
#include "journal/journal_time.h"
#include "journal/record_file.h"
#include "laminator/status_csv.h"

namespace {
std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string out = "\"";
    for (char c : text)
        out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

std::string Celsius(std::uint16_t centi) {
    char text[16];
    std::snprintf(text, sizeof text, "%.1f", centi / 100.0);
    return text;
}

std::unique_ptr<JournalDb> OpenForCommand(const std::string& path) {
    if (path.empty()) {
        MessageBox("No service record is kept (--no-journal, or no home folder).");
        return nullptr;
    }
    std::string error;
    std::unique_ptr<JournalDb> db = JournalDb::Open(path, error);
    if (!db)
        MessageBox("The service record cannot be opened: " + error + ".");
    return db;
}

int ListRecords(const CommandContext& context, JournalDb& db, const JournalQuery& query, bool csv) {
    nlohmann::json doc = {{"command", "journal"}, {"exit", kExitOk}};
    SplicedJson document;
    std::vector<StoredReading> readings;
    const std::vector<StoredReading> none;
    std::string text;
    if (query.kind == "reading") {
        readings = db.Readings(query);
        TextTable table({"TIME", "LAMINATOR", "ROLLER", "ENVIRONMENT", "STATE", "ERROR", "SPAN"});
        text = csv ? "time,laminator,span-ms,gap,roller-temperature,environment-temperature,"
                     "state-code,error-code\n"
                   : "";
        for (const StoredReading& r : context.json ? none : readings) {
            const StatusSample& s = r.sample;
            char state[16], error[16];
            std::snprintf(state, sizeof state, "%08X", s.state);
            std::snprintf(error, sizeof error, "%08X", s.error);
            if (csv) {
                text += IsoTime(s.timeMs) + "," + CsvField(r.laminator) + "," +
                        std::to_string(r.spanMs) + "," + (s.gap ? "1" : "0") + "," +
                        (s.gap ? "" : Celsius(s.rollerCenti)) + "," +
                        (s.gap ? "" : Celsius(s.environmentCenti)) + "," + (s.gap ? "" : state) +
                        "," + (s.gap ? "" : error) + "\n";
            } else {
                table.Add(
                    {IsoTime(s.timeMs), r.laminator, s.gap ? "no reply" : Celsius(s.rollerCenti),
                     s.gap ? "" : Celsius(s.environmentCenti), s.gap ? "" : state,
                     s.gap ? "" : error, r.spanMs ? std::to_string(r.spanMs / 1000) + " s" : ""});
            }
        }
        doc["readings"] = ReadingsJson(document, readings);
        if (!csv)
            text = table.Render();
    } else {
        const std::vector<StoredOperation> rows = db.Operations(query);
        nlohmann::json list = nlohmann::json::array();
        TextTable table({"TIME", "LAMINATOR", "WHAT", "RESULT", "MESSAGE"});
        text = csv ? "time,laminator,serial,kind,result,duration-ms,link,user,version,message,"
                     "details\n"
                   : "";
        for (const StoredOperation& o : rows) {
            const OperationRecord& r = o.record;
            if (context.json)
                list.push_back(OperationJson(o));
            else if (csv)
                text += IsoTime(r.timeMs) + "," + CsvField(o.laminator) + "," + CsvField(o.serial) +
                        "," + CsvField(r.kind) + "," + CsvField(r.result) + "," +
                        std::to_string(r.durationMs) + "," + CsvField(r.link) + "," +
                        CsvField(r.user) + "," + CsvField(r.version) + "," + CsvField(r.message) +
                        "," + CsvField(r.details) + "\n";
            else
                table.Add({IsoTime(r.timeMs), o.laminator, r.kind, r.result,
                           r.message.substr(0, r.message.find('\n'))});
        }
        doc["operations"] = list;
        if (!csv)
            text = table.Render();
    }
    PrintResult(context, doc, text, &document);
    return kExitOk;
}

int ListLaminators(const CommandContext& context, JournalDb& db) {
    nlohmann::json list = nlohmann::json::array();
    TextTable table({"LAMINATOR", "MODEL", "MAC", "LINK", "FIRST VISIT", "LAST VISIT", "OPERATIONS",
                     "READINGS"});
    for (const LaminatorRow& row : db.Laminators()) {
        const bool any = row.operations + row.readings > 0;
        list.push_back({{"laminator", row.key},
                        {"serial", row.identity.serial},
                        {"model", row.identity.model},
                        {"mac", row.identity.mac},
                        {"link", row.identity.link},
                        {"first", any ? nlohmann::json(IsoTime(row.firstMs)) : nlohmann::json()},
                        {"last", any ? nlohmann::json(IsoTime(row.lastMs)) : nlohmann::json()},
                        {"operations", row.operations},
                        {"readings", row.readings}});
        table.Add({row.key, row.identity.model, row.identity.mac, row.identity.link,
                   any ? IsoTime(row.firstMs) : "", any ? IsoTime(row.lastMs) : "",
                   std::to_string(row.operations), std::to_string(row.readings)});
    }
    PrintResult(context, {{"command", "journal"}, {"exit", kExitOk}, {"laminators", list}},
                table.Render());
    return kExitOk;
}

int Export(const CommandContext& context, JournalDb& db, const JournalListOptions& options) {
    std::string serial = options.serial;
    if (serial.empty()) {
        const std::vector<LaminatorRow> rows = db.Laminators();
        if (rows.size() != 1)
            return UsageError("The service record holds " + std::to_string(rows.size()) +
                              " laminators; name one with --serial.");
        serial = rows.front().key;
    }
    const std::optional<RecordFile> file = db.Export(serial);
    if (!file) {
        MessageBox("The service record holds no laminator \"" + serial + "\".");
        return kExitFailure;
    }
    std::string error;
    if (!WriteFileWhole(options.file, FormatRecordFile(*file), "The service record file", error)) {
        MessageBox(error);
        return kExitFailure;
    }
    const std::size_t count = file->operations.size() + file->readings.size();
    PrintResult(
        context,
        {{"command", "journal"}, {"exit", kExitOk}, {"file", options.file}, {"records", count}},
        "Wrote " + std::to_string(count) + " records of " + file->laminator.Key() + " to " +
            options.file + ".\n");
    return kExitOk;
}

int Import(const CommandContext& context, JournalDb& db, const JournalListOptions& options) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(options.file, ec)) {
        MessageBox("The service record file \"" + options.file +
                   "\" cannot be read: it is not a regular file.");
        return kExitFailure;
    }
    // Only as much as the file holds, and never more than any record could.
    const std::uintmax_t size = std::filesystem::file_size(options.file, ec);
    if (ec || size > kMaxRecordFileBytes) {
        MessageBox("\"" + options.file + "\" is not a Pellacor service record (" +
                   (ec ? ec.message() : std::string("larger than any record")) +
                   "); nothing was imported.");
        return kExitFailure;
    }
    std::ifstream in(options.file, std::ios::binary);
    std::string text(static_cast<std::size_t>(size), '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    if (in.bad() || !in) {
        MessageBox("The service record file \"" + options.file + "\" cannot be read.");
        return kExitFailure;
    }
    std::string error;
    const std::optional<RecordFile> file = ParseRecordFile(text, error);
    if (!file) {
        MessageBox("\"" + options.file + "\" is not a Pellacor service record (" + error +
                   "); nothing was imported.");
        return kExitFailure;
    }
    const std::optional<std::int64_t> added = db.Import(*file);
    if (!added) {
        MessageBox("The service record " + db.Path() + " could not take the import (" +
                   db.LastError() + "); nothing was imported.");
        return kExitFailure;
    }
    PrintResult(
        context,
        {{"command", "journal"}, {"exit", kExitOk}, {"file", options.file}, {"records", *added}},
        "Imported " + std::to_string(*added) + " records of " + file->laminator.Key() + ".\n");
    return kExitOk;
}
}  // namespace

std::optional<int> ParsePeriod(const std::string& since, const std::string& until,
                               JournalQuery& query) {
    const std::int64_t now = NowMs();
    for (const auto& [text, bound] :
         {std::pair{&since, &query.sinceMs}, std::pair{&until, &query.untilMs}}) {
        if (text->empty())
            continue;
        *bound = ParseJournalTime(*text, now);
        if (!*bound)
            return UsageError("\"" + *text + "\" is not a time such as 30d, 12h or 2026-12-01.");
    }
    return std::nullopt;
}

void AddJournalOptions(CLI::App& journal, JournalListOptions& options) {
    journal.add_option("--serial", options.serial, "One laminator, by serial number or key")
        ->type_name("SN");
    journal
        .add_option("--since", options.since,
                    "From this time: 30d, 12h, 15m or 2026-12-01[T08:00:00Z]")
        ->type_name("T");
    journal.add_option("--until", options.until, "Before this time")->type_name("T");
    journal
        .add_option("--kind", options.kind,
                    "Only this kind: a command's name (set, firmware, reset, ...) or reading")
        ->type_name("K");
    journal.add_flag("--csv", options.csv, "Comma-separated values");
    journal.add_option("action", options.action, "laminators, export or import")
        ->check(CLI::IsMember({"laminators", "export", "import"}));
    journal.add_option("file", options.file, "The file to export to or import from");
}

int RunJournal(const CommandContext& context, const std::string& path,
               const JournalListOptions& options) {
    if ((options.action == "export" || options.action == "import") && options.file.empty())
        return UsageError("journal " + options.action + " needs a FILE.");
    if (options.action.empty() && !options.file.empty())
        return UsageError("journal lists records; a FILE goes with export or import.");
    JournalQuery query;
    query.serial = options.serial;
    query.kind = options.kind;
    if (const std::optional<int> refused = ParsePeriod(options.since, options.until, query))
        return *refused;
    std::error_code ec;
    if (options.action != "import" && !path.empty() && !std::filesystem::exists(path, ec) && !ec) {
        // Opening would make an empty one: only an import starts a service record. A path
        // that cannot be looked at goes on to the open, which says why.
        MessageBox("There is no service record at " + path + ": nothing to " +
                   (options.action == "export" ? "export" : "list") + ".");
        return kExitFailure;
    }
    std::unique_ptr<JournalDb> db = OpenForCommand(path);
    if (!db)
        return kExitFailure;
    if (options.action == "laminators")
        return ListLaminators(context, *db);
    if (options.action == "export")
        return Export(context, *db, options);
    if (options.action == "import")
        return Import(context, *db, options);
    return ListRecords(context, *db, query, options.csv);
}
