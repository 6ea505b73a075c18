// probe: what the tool assumes of a laminator's replies, checked once per query, for a first
// field test. Reads only.
#include <algorithm>
#include <cstdio>

#include "cli/command_runner.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/terminal_text.h"
#include "cli/text_table.h"
#include "framework/json_text.h"
#include "laminator/probe.h"

namespace {
std::string HexText(const std::vector<std::uint8_t>& bytes) {
    std::string text;
    char two[3];
    for (std::uint8_t b : bytes) {
        std::snprintf(two, sizeof two, "%02x", b);
        text += two;
    }
    return text;
}

std::string CodeText(const std::optional<std::uint32_t>& code) {
    if (!code)
        return "";
    char text[9];
    std::snprintf(text, sizeof text, "%08X", *code);
    return text;
}

nlohmann::json ExchangeJson(const ProbeExchange& e) {
    nlohmann::json j = {
        {"query", e.query},
        {"command", e.command},
        {"sent", e.sent},
        {"received", e.received},
        {"length", e.length},
        {"milliseconds", static_cast<long long>(e.milliseconds + 0.5)},
        // Unknown without a reply, not "no".
        {"echoes-request", e.received ? nlohmann::json(e.echoes) : nlohmann::json()},
        {"reply", HexText(e.reply)}};
    if (e.continues)
        j["continuation-received"] = e.continuationReceived;
    return j;
}
}  // namespace

int RunProbe(const CommandContext& context) {
    if (RefusePrinterClass(context))
        return kExitUsage;
    return RunOnTargets(context, [&](CliView&, const Target&) {
        TargetResult result;
        result.textSurvivesLinkFailure = true;
        const std::optional<LinkKind> link = LinkInUse();
        if (!link) {
            result.exit = kExitFailure;
            return result;
        }
        const ProbeResult probe = ProbeLaminator(*link);
        nlohmann::json exchanges = nlohmann::json::array();
        TextTable table({"QUERY", "REPLY", "BYTES", "MS", "ECHOES", "CONTINUED"});
        for (const ProbeExchange& e : probe.exchanges) {
            exchanges.push_back(ExchangeJson(e));
            table.Add({e.query, e.received ? "yes" : (e.sent ? "none" : "not sent"),
                       std::to_string(e.length),
                       std::to_string(static_cast<long long>(e.milliseconds + 0.5)),
                       !e.received ? "-" : (e.echoes ? "yes" : "no"),
                       !e.continues ? "-" : (e.continuationReceived ? "yes" : "missing")});
        }
        nlohmann::json fields = nlohmann::json::array();
        for (const std::string& f : probe.informationFields)
            fields.push_back(BytesToJsonText(f));
        result.data["link"] = *link == LinkKind::Usb ? "usb" : "tcp";
        result.data["exchanges"] = exchanges;
        result.data["information"] = {{"fields", fields},
                                      {"serial-number", BytesToJsonText(probe.serialNumber)},
                                      {"main-version", BytesToJsonText(probe.mainVersion)}};
        result.data["state-code"] =
            probe.stateCode ? nlohmann::json(CodeText(probe.stateCode)) : nlohmann::json();
        result.data["error-code"] =
            probe.errorCode ? nlohmann::json(CodeText(probe.errorCode)) : nlohmann::json();
        // What the laminator did not answer is "not read", never an empty finding.
        const auto answered = [&](const std::string& query) {
            return std::any_of(
                probe.exchanges.begin(), probe.exchanges.end(),
                [&](const ProbeExchange& e) { return e.query == query && e.received; });
        };
        result.text = table.Render();
        result.text += answered("information")
                           ? "Information: serial number \"" + EscapeControls(probe.serialNumber) +
                                 "\", main version \"" + EscapeControls(probe.mainVersion) + "\"\n"
                           : std::string("Information: not read\n");
        result.text += probe.stateCode ? "State " + CodeText(probe.stateCode) + ", error " +
                                             CodeText(probe.errorCode) + "\n"
                                       : std::string("State: not read\n");
        if (!probe.AllAnswered())
            result.exit = kExitFailure;
        return result;
    });
}
