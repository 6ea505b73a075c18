#include "cli/report_page.h"

#include <cstdio>

#include "cli/exit_codes.h"
#include "cli/spliced_json.h"
#include "framework/file_write.h"
#include "framework/message_box.h"
#include "platform/files.h"

int WriteReportPage(const CommandContext& context, const std::string& out, ServiceReport& report,
                    int exit) {
    report.exit = exit;
    // A page needs no document of every reading.
    SplicedJson lists;
    nlohmann::json doc = context.json ? ReportJson(report, lists) : nlohmann::json::object();
    const std::string page = context.json ? lists.Dump(doc) + "\n" : ReportXhtml(report);
    std::string error;
    const bool written = WriteFileWhole(out, page, "The report", error);
    if (!written) {
        MessageBox(error);
        if (exit == kExitOk)
            exit = kExitFailure;
    }
    if (context.json) {
        doc["command"] = context.command;
        doc["exit"] = exit;
        doc["file"] = written ? nlohmann::json(out) : nlohmann::json(nullptr);
        doc["messages"] = context.messages->TakeRun();
        PrintResult(context, doc, "", &lists);
    } else if (written) {
        std::printf("Wrote %s (%zu laminator%s%s).\n", out.c_str(), report.sections.size(),
                    report.sections.size() == 1 ? "" : "s",
                    report.cutShort ? ", cut short by Ctrl-C" : "");
    }
    return exit;
}

void NameBaseline(ServiceReport& report, const std::string& file, const Backup& baseline) {
    report.baselineFile = file;
    report.baselineModel = baseline.model;
    const auto serial = baseline.identity.find("serial-number");
    if (serial != baseline.identity.end())
        report.baselineSerial = serial->second;
    // When the backup was saved, as its file says; 0 when unknown.
    report.baselineDateMs = platform::ModifiedMs(file).value_or(0);
}

std::string ReportOutputProblem(const std::string& out,
                                std::initializer_list<const std::string*> inputs) {
    // The page must never take the place of a file it was made from.
    for (const std::string* input : inputs) {
        if (!input->empty() && SameFile(out, *input))
            return "The report \"" + out + "\" would overwrite its input \"" + *input +
                   "\"; name another file.";
    }
    return CheckWritable(out, "The report");
}
