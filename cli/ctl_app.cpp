#include "cli/ctl_app.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <memory>

#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/network_search.h"
#include "framework/message_box.h"
#include "link/frame_trace.h"
#include "link/usb_backend.h"
#include "netsetup/net_discovery.h"
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
        targets.push_back({Target::Kind::UsbSim, {}, port, path});
    for (const std::string& path : o.usbSimPrinter)
        targets.push_back({Target::Kind::UsbSimPrinter, {}, port, path});
    if (o.usbPrinter)
        targets.push_back({Target::Kind::UsbPrinter, {}, port, {}});
    if (o.discovered) {
        CNetDiscovery discovery;
        NetResult result = kNetSuccess;
        const std::vector<SearchReply> found = SearchNetwork(discovery, result);
        if (found.empty()) {
            std::fprintf(stderr, "No laminator answered the network search.\n");
            exit = kExitUnreachable;
            return std::nullopt;
        }
        for (const SearchReply& r : found)
            targets.push_back({Target::Kind::Tcp, ReplyIpText(r), port, {}});
    }
    if (o.usb || targets.empty())
        targets.push_back({Target::Kind::Usb, {}, port, {}});
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
    app.add_flag("--json", json, "Print one JSON document on standard output");
    app.add_option("--trace", o.trace,
                   "Write every frame sent and received to FILE (- for standard error)")
        ->type_name("FILE");
}
}  // namespace

int RunPellacorctl(int argc, char** argv, StderrMessageSink& messages) {
    CLI::App app{
        "pellacorctl: every laminator operation from the command line, for one "
        "laminator or many.\nExit status: 0 success, 2 usage or validation error "
        "(nothing was sent), 3 no laminator could be reached, 1 any other failure.",
        "pellacorctl"};
    app.set_version_flag("--version", std::string("pellacorctl ") + PELLACOR_VERSION);
    app.require_subcommand(1);
    app.fallthrough();
    TargetOptions targetOptions;
    CommandContext context;
    context.messages = &messages;
    AddTargetOptions(app, targetOptions, context.json);

    std::vector<std::string> names;
    auto* list = app.add_subcommand("list", "The laminators attached over USB");
    bool listNetwork = false;
    list->add_flag("--network", listNetwork, "Also those a network search finds");
    app.add_subcommand("discover",
                       "Search the network: device id, MAC address, name, FW Boot "
                       "and IP address of each laminator");
    app.add_subcommand("info", "Versions, counters, serial number, model ID and model name");
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
    auto* netconfig = app.add_subcommand(
        "netconfig", "Read and change a laminator's network settings over UDP, by its MAC");
    NetconfigOptions net;
    netconfig->add_option("mac", net.mac, "The laminator's MAC address")->required();
    netconfig->add_flag("--static", net.setStatic, "A static address");
    netconfig->add_option("--ip", net.ip, "The static IP address");
    netconfig->add_option("--mask", net.mask, "The subnet mask");
    netconfig->add_option("--gateway", net.gateway, "The gateway");
    netconfig->add_flag("--dynamic", net.setDynamic, "A dynamic address");
    std::string name;
    netconfig->add_option("--name", name, "The device name");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e);
        return code == 0 ? kExitOk : kExitUsage;
    }
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
    if (chosen == app.get_subcommand("info"))
        return RunInfo(context);
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
        return RunReset(context, yes);
    if (chosen == mode)
        return RunMode(context, modeName);
    if (chosen == send)
        return RunSend(context, hex);
    if (chosen == report)
        return RunReport(context, reportOptions);
    return RunFirmware(context, file);
}
