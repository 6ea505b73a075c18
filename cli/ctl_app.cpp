#include "cli/ctl_app.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>

#include "cli/cli_journal.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/network_search.h"
#include "cli/parameter_names.h"
#include "framework/message_box.h"
#include "link/frame_trace.h"
#include "link/reply_wait.h"
#include "link/usb_backend.h"
#include "netsetup/net_discovery.h"
#include "netsetup/net_resources.h"
#include "netsetup/search_target.h"

#ifndef PELLACOR_VERSION
#define PELLACOR_VERSION "0"
#endif

namespace {
struct TargetOptions {
    std::vector<std::string> tcp;
    bool usb = false;
    bool usbPrinter = false;
    std::vector<std::string> usbSim;
    std::vector<std::string> usbSimPrinter;
    bool discovered = false;
    std::string searchAddress;
    std::string trace;
    unsigned tcpPort = 0;
    std::optional<double> timeout;
};

// The targets in the order given; `--usb` when none is. Exit status in `exit` on failure.
std::optional<std::vector<Target>> ResolveTargets(const TargetOptions& o, int& exit) {
    const std::uint16_t port =
        o.tcpPort ? static_cast<std::uint16_t>(o.tcpPort) : kLaminatorTcpPort;
    std::vector<Target> targets;
    for (const std::string& text : o.tcp) {
        std::string error;
        std::optional<Target> t = ParseTcpTarget(text, port, error);
        if (!t) {
            exit = UsageError(error);
            return std::nullopt;
        }
        targets.push_back(*t);
    }
    for (const std::string& path : o.usbSim)
        targets.push_back({Target::Kind::UsbSim, {}, {}, port, path, {}});
    for (const std::string& path : o.usbSimPrinter)
        targets.push_back({Target::Kind::UsbSimPrinter, {}, {}, port, path, {}});
    if (o.usbPrinter)
        targets.push_back({Target::Kind::UsbPrinter, {}, {}, port, {}, {}});
    if (o.discovered) {
        CNetDiscovery discovery;
        NetResult result = kNetSuccess;
        const std::vector<FoundLaminator> found = SearchNetwork(discovery, result);
        if (found.empty()) {
            MessageBox("No laminator answered the network search.");
            exit = kExitUnreachable;
            return std::nullopt;
        }
        if (discovery.NotShown())
            MessageBox(NotListedText(discovery.NotShown()));
        for (const FoundLaminator& f : found)
            targets.push_back(
                {Target::Kind::Tcp, ReplyIpText(f.reply), ReplyIpText(f.reply), port, {}, {}});
    }
    if (o.usb || targets.empty())
        targets.push_back({Target::Kind::Usb, {}, {}, port, {}, {}});
    return targets;
}

void AddTargetOptions(CLI::App& app, TargetOptions& o, bool& json) {
    app.add_option("--tcp", o.tcp, "A laminator over TCP, HOST[:PORT] (port 9100 by default)")
        ->type_name("HOST[:PORT]")
        ->allow_extra_args(false);
    app.add_flag("--usb", o.usb, "The HID laminator on USB (the default)");
    app.add_flag("--usb-printer", o.usbPrinter,
                 "The printing-class laminator on USB (reset and firmware only)");
    app.add_option("--usb-sim", o.usbSim, "The simulator's virtual HID laminator at PATH")
        ->type_name("PATH")
        ->allow_extra_args(false);
    app.add_option("--usb-sim-printer", o.usbSimPrinter,
                   "The simulator's virtual printing-class laminator at PATH")
        ->type_name("PATH")
        ->allow_extra_args(false);
    app.add_flag("--discovered", o.discovered, "Every laminator a network search finds");
    app.add_option("--search-address", o.searchAddress,
                   "Send the network search and settings requests to ADDRESS[:PORT] "
                   "(default 255.255.255.255:1901 out of every interface)")
        ->type_name("ADDRESS[:PORT]");
    app.add_option("--tcp-port", o.tcpPort, "The laminators' TCP command port (default 9100)")
        ->check(CLI::Range(1, 65535))
        ->type_name("N");
    app.add_option("--timeout", o.timeout,
                   "Wait at most SECONDS for each reply (default 1 over TCP, 2 over USB); a "
                   "laminator that does not answer is given up after the first")
        ->check(CLI::Range(0.05, 600.0))
        ->type_name("SECONDS");
    app.add_flag("--json", json,
                 "Print one JSON document on standard output; messages and progress go to "
                 "standard error as JSON lines");
    app.add_option("--trace", o.trace,
                   "Write every frame sent and received to FILE (- for standard error)")
        ->type_name("FILE");
}

// The subcommand the arguments name, skipping the options before it and their values; empty
// when there is none.
std::string NamedSubcommand(int argc, char** argv) {
    static const std::vector<std::string> withValue = {
        "--tcp",   "--usb-sim", "--usb-sim-printer", "--search-address", "--tcp-port",
        "--trace", "--timeout", "--journal",         "--journal-limit"};
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a.rfind("-", 0) != 0)
            return a;
        if (std::find(withValue.begin(), withValue.end(), a) != withValue.end())
            ++i;
    }
    return {};
}

bool JsonAsked(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]) == "--json")
            return true;
    }
    return false;
}

int RunCommandLine(int argc, char** argv, StderrMessageSink& messages, std::string& command) {
    CLI::App app{
        "pellacorctl: every laminator operation from the command line, for one "
        "laminator or many.\nExit status: 0 success, 1 failure (diff: the values differ), "
        "2 usage or validation error (nothing was sent), 3 no laminator could be reached, "
        "130 interrupted.",
        "pellacorctl"};
    app.set_version_flag("--version", std::string("pellacorctl ") + PELLACOR_VERSION);
    app.require_subcommand(1);
    app.fallthrough();
    TargetOptions targetOptions;
    CommandContext context;
    context.messages = &messages;
    AddTargetOptions(app, targetOptions, context.json);
    CliJournalOptions journalOptions;
    app.add_option("--journal", journalOptions.file,
                   "Keep the service record in FILE (default "
                   "$XDG_STATE_HOME/pellacor/journal.sqlite)")
        ->type_name("FILE");
    app.add_flag("--no-journal", journalOptions.off, "Keep no service record");
    app.add_option("--journal-limit", journalOptions.limitMb,
                   "Keep the service record within MB megabytes (200 by default): the oldest "
                   "readings go first")
        ->check(CLI::Range(1.0, 1e6))
        ->type_name("MB");

    std::vector<std::string> names;
    auto* list = app.add_subcommand("list", "The laminators attached over USB");
    bool listNetwork = false;
    list->add_flag("--network", listNetwork, "Also those a network search finds");
    app.add_subcommand("discover",
                       "Search the network: device id, MAC address, name, FW Boot "
                       "and IP address of each laminator");
    app.add_subcommand("info", "Versions, counters, serial number, model ID and model name");
    app.add_subcommand("probe",
                       "Each read query once: what the replies look like, for a field test "
                       "(writes nothing)");
    auto* status = app.add_subcommand(
        "status", "Temperatures, machine state, error or warning, card channel (USB)");
    std::optional<double> watch;
    status->add_option("--watch", watch, "Repeat every SECONDS (2 by default) until interrupted")
        ->expected(0, 1)
        ->default_str("2")
        ->type_name("SECONDS");
    StatusWatchOptions statusOptions;
    AddStatusWatchOptions(*status, statusOptions);
    auto* get = app.add_subcommand("get", "Parameters with name, value, unit and access");
    get->add_option("names", names, "Groups or parameters, by name or key; every group if none");
    auto* set = app.add_subcommand(
        "set", "Check values with the window's rules, write the groups touched, show changes");
    std::vector<std::string> assignments;
    set->add_option("assignments", assignments, "PARAMETER=VALUE")->required();
    std::string file;
    auto* backup = app.add_subcommand("backup", "Every parameter, the model and identity to FILE");
    backup->add_option("file", file, "The backup file (JSON)")->required();
    auto* restore = app.add_subcommand("restore", "Write the writable values of FILE that differ");
    restore->add_option("file", file, "The backup file (JSON)")->required();
    RestoreOptions restoreOptions;
    restore->add_flag("--dry-run", restoreOptions.dryRun, "Show the differences, write nothing");
    restore->add_flag("--include-network", restoreOptions.includeNetwork,
                      "Also the \"Interface setup\" group");
    restore->add_flag("--force", restoreOptions.force, "Also a backup of another model");
    auto* diff = app.add_subcommand("diff", "The laminator against a backup");
    diff->add_option("file", file, "The backup file (JSON)")->required();
    auto* reset = app.add_subcommand("reset", "Restore the factory parameters");
    bool yes = false;
    reset->add_flag("--yes", yes, "Confirm the reset");
    bool noVerify = false;
    reset->add_flag("--no-verify", noVerify,
                    "Do not read the parameters back to confirm the laminator answers");
    auto* mode = app.add_subcommand("mode", "Switch the mode: \"standard\"");
    std::string modeName;
    mode->add_option("mode", modeName, "standard")->required();
    auto* send = app.add_subcommand("send", "A raw command; prints the reply in hexadecimal");
    std::string hex;
    send->add_option("hex", hex, "Hexadecimal byte pairs")->required();
    auto* report = app.add_subcommand(
        "report", "A service report of every target: identity, parameters, status over the visit");
    ReportOptions reportOptions;
    AddReportOptions(*report, reportOptions);
    auto* firmware = app.add_subcommand("firmware", "Download a firmware file");
    firmware->add_option("file", file, "The firmware file (.mot)")->required();
    bool forceFirmware = false;
    firmware->add_flag("--force", forceFirmware, "Send a .mot file that is not well formed");
    auto* netconfig = app.add_subcommand(
        "netconfig", "Read and change a laminator's network settings over UDP, by its MAC");
    NetconfigOptions net;
    netconfig->add_option("mac", net.mac, "The laminator's MAC address")->required();
    netconfig->add_flag("--static", net.setStatic, "A static address");
    netconfig->add_option("--ip", net.ip, "The static IP address");
    netconfig->add_option("--mask", net.mask, "The subnet mask");
    netconfig->add_option("--gateway", net.gateway, "The gateway");
    netconfig->add_flag("--dynamic", net.setDynamic, "A dynamic address");
    netconfig->add_option("--address", net.address,
                          "The laminator's current address, when its MAC answered at several");
    std::string name;
    netconfig->add_option("--name", name, "The device name");

    auto* journal = app.add_subcommand(
        "journal", "The service record: operations and readings of every laminator served");
    JournalListOptions journalList;
    AddJournalOptions(*journal, journalList);

    for (CLI::App* sub : app.get_subcommands({}))
        sub->ignore_case();
    command = NamedSubcommand(argc, argv);
    std::vector<std::string> known;
    for (const CLI::App* sub : app.get_subcommands({}))
        known.push_back(sub->get_name());
    if (!command.empty() && std::find_if(known.begin(), known.end(), [&](const std::string& k) {
                                return StableKey(k) == StableKey(command);
                            }) == known.end()) {
        std::string text = "\"" + command + "\" is not a pellacorctl command.";
        const std::vector<std::string> near = Nearest(command, known);
        if (!near.empty())
            text += " Did you mean \"" + near.front() + "\"?";
        command.clear();
        return UsageError(text + " See pellacorctl --help.");
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        return UsageError(std::string(e.what()) + " See pellacorctl --help.");
    }
    messages.SetJsonLines(context.json);
    if (targetOptions.timeout)
        SetReplyTimeout(std::chrono::milliseconds(
            static_cast<long long>(*targetOptions.timeout * 1000.0 + 0.5)));
    if (!targetOptions.trace.empty()) {
        std::string error;
        if (!EnableFrameTrace(targetOptions.trace, error))
            return UsageError(error);
    }
    if (!targetOptions.searchAddress.empty()) {
        std::string error;
        const std::optional<SearchTarget> target =
            ParseSearchTarget(targetOptions.searchAddress, error);
        if (!target)
            return UsageError(error);
        SetSearchTarget(*target);
    }
    if (journalOptions.off && !journalOptions.file.empty())
        return UsageError("--journal and --no-journal contradict each other.");
    if (*journal) {
        context.command = "journal";
        command = context.command;
        return RunJournal(context, CliJournalPath(journalOptions), journalList);
    }
    if (*report && reportOptions.Past()) {
        // From the service record alone: the targets named only choose the laminator.
        context.command = "report";
        command = context.command;
        if (targetOptions.discovered)
            return UsageError(
                "A past period is reported from the service record: choose the "
                "laminator with --serial or a target other than --discovered.");
        int exit = kExitOk;
        if (!targetOptions.tcp.empty() || targetOptions.usb || targetOptions.usbPrinter ||
            !targetOptions.usbSim.empty() || !targetOptions.usbSimPrinter.empty()) {
            std::optional<std::vector<Target>> targets = ResolveTargets(targetOptions, exit);
            if (!targets)
                return exit;
            context.targets = std::move(*targets);
        }
        return RunPastReport(context, reportOptions, CliJournalPath(journalOptions));
    }
    StartCliJournal(journalOptions, context.json);
    if (netconfig->parsed() && netconfig->count("--name"))
        net.name = name;
    if (*list) {
        // The virtual laminators named are listed as if plugged in, as in the window.
        for (const std::string& path : targetOptions.usbSim)
            AddUsbBackend(MakeSimulatedUsbBackend(path, UsbClass::Hid));
        for (const std::string& path : targetOptions.usbSimPrinter)
            AddUsbBackend(MakeSimulatedUsbBackend(path, UsbClass::Printer));
        return RunList(context, listNetwork);
    }
    if (*app.get_subcommand("discover"))
        return RunDiscover(context);
    if (*netconfig)
        return RunNetconfig(context, net);

    int exit = kExitOk;
    std::optional<std::vector<Target>> targets = ResolveTargets(targetOptions, exit);
    if (!targets)
        return exit;
    context.targets = std::move(*targets);
    const CLI::App* chosen = app.get_subcommands().front();
    context.command = chosen->get_name();
    command = context.command;
    if (chosen == backup || chosen == restore || chosen == diff || chosen == firmware)
        context.journalFile = file;
    if (chosen == set)
        context.journalDetails["assignments"] = assignments;
    if (chosen == send)
        context.journalDetails["sent"] = hex;
    if (chosen == app.get_subcommand("info"))
        return RunInfo(context);
    if (chosen == app.get_subcommand("probe"))
        return RunProbe(context);
    if (chosen == status) {
        if (status->count("--watch") && !status->count("--interval"))
            statusOptions.interval = watch.value_or(2.0);
        statusOptions.watch = statusOptions.watch || status->count("--watch") > 0;
        return RunStatus(context, statusOptions);
    }
    if (chosen == get)
        return RunGet(context, names);
    if (chosen == set)
        return RunSet(context, assignments);
    if (chosen == backup)
        return RunBackup(context, file);
    if (chosen == restore)
        return RunRestore(context, file, restoreOptions);
    if (chosen == diff)
        return RunDiff(context, file);
    if (chosen == reset)
        return RunReset(context, yes, !noVerify);
    if (chosen == mode)
        return RunMode(context, modeName);
    if (chosen == send)
        return RunSend(context, hex);
    if (chosen == report)
        return RunReport(context, reportOptions);
    return RunFirmware(context, file, forceFirmware);
}
}  // namespace

int RunPellacorctl(int argc, char** argv, StderrMessageSink& messages) {
    const bool json = JsonAsked(argc, argv);
    messages.SetJsonLines(json);
    ResetDocumentPrinted();
    std::string command;
    int exit = RunCommandLine(argc, argv, messages, command);
    StopCliJournal();
    if (CliView::Interrupted().load() && exit != kExitOk)
        exit = kExitInterrupted;
    // A script that asked for JSON gets one document whatever happened.
    if (json && !DocumentPrinted() && exit != kExitOk) {
        nlohmann::json doc = {
            {"command", command.empty() ? nlohmann::json() : nlohmann::json(command)},
            {"exit", exit},
            {"messages", messages.Take()}};
        CommandContext context;
        context.json = true;
        PrintResult(context, doc, {});
    }
    return exit;
}
