#pragma once
// A finished service report written to OUT (XHTML, or JSON with --json) and said on
// standard output, the same for a watched visit and a past period.
#include <initializer_list>
#include <string>

#include "cli/backup_file.h"
#include "cli/command_runner.h"
#include "cli/service_report.h"

// The exit status: `exit`, or a failure when OUT could not be written.
int WriteReportPage(const CommandContext& context, const std::string& out, ServiceReport& report,
                    int exit);

// The header's backup compared with: its file, model, serial number and when it was saved.
void NameBaseline(ServiceReport& report, const std::string& file, const Backup& baseline);
// Why OUT cannot take the page: it names one of `inputs` (by any path) or cannot be written.
// Empty when it can.
std::string ReportOutputProblem(const std::string& out,
                                std::initializer_list<const std::string*> inputs);
