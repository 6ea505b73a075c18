#include "app/program_options.h"

#include <CLI/CLI.hpp>
#include <algorithm>

namespace {
// The options, parsed alike by the window and pellacorctl (both use CLI11).
void DefineOptions(CLI::App& app, ProgramOptions& o, std::string& searchAddress,
                   unsigned& tcpPort) {
    app.set_help_flag("-h,--help", "show this text");
    app.add_flag("--version", o.version, "print the version and exit");
    app.add_flag("--demo", o.demo, "run against built-in simulated laminators on loopback");
    app.add_flag("--fast-warmup", o.fastWarmup,
                 "with --demo: the simulated roller warms up in seconds, not minutes");
    app.add_option("--usb-sim", o.usbSimHid, "list the simulator's virtual HID laminator at PATH")
        ->type_name("PATH")
        ->allow_extra_args(false);
    app.add_option("--usb-sim-printer", o.usbSimPrinter,
                   "list its virtual printing-class laminator at PATH")
        ->type_name("PATH")
        ->allow_extra_args(false);
    app.add_option("--tcp-port", tcpPort,
                   "connect to the laminator's command port N (default 9100)")
        ->type_name("N")
        ->check(CLI::Range(1, 65535));
    app.add_option("--search-address", searchAddress,
                   "send the network search and settings requests to ADDRESS (default "
                   "255.255.255.255:1901 out of every interface)")
        ->type_name("ADDRESS[:PORT]");
    app.add_option("--screenshot", o.screenshot, "render the main window to FILE.png and exit")
        ->type_name("FILE.png");
    app.add_option("--service-record", o.serviceRecord,
                   "with --screenshot: render the Service record window of the laminator SN "
                   "(or journal key) over the last 5 minutes instead")
        ->type_name("SN");
    app.add_option("--trace", o.trace,
                   "write every frame sent and received to FILE (- for standard error)")
        ->type_name("FILE");
    app.add_option("--journal", o.journal.file,
                   "keep the service record in FILE (default "
                   "$XDG_STATE_HOME/pellacor/journal.sqlite)")
        ->type_name("FILE");
    app.add_flag("--no-journal", o.journal.off, "keep no service record");
    app.add_option("--journal-limit", o.journal.limitMb,
                   "hold the service record to MB megabytes (default 200)")
        ->type_name("MB")
        ->check(CLI::Range(1.0, 1e6));
}
}  // namespace

std::string ProgramUsage() {
    CLI::App app{"Pellacor: sets up and services card laminators.", "pellacor"};
    ProgramOptions o;
    std::string searchAddress;
    unsigned tcpPort = 0;
    DefineOptions(app, o, searchAddress, tcpPort);
    return app.help();
}

std::optional<ProgramOptions> ParseProgramOptions(const std::vector<std::string>& args,
                                                  std::string& error) {
    CLI::App app{"Pellacor", "pellacor"};
    ProgramOptions o;
    std::string searchAddress;
    unsigned tcpPort = 0;
    DefineOptions(app, o, searchAddress, tcpPort);
    // CLI11 takes a vector of arguments last one first.
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        o.help = true;
        return o;
    } catch (const CLI::ParseError& e) {
        error = e.what();
        return std::nullopt;
    }
    if (tcpPort != 0)
        o.tcpPort = static_cast<std::uint16_t>(tcpPort);
    if (!searchAddress.empty()) {
        o.searchTarget = ParseSearchTarget(searchAddress, error);
        if (!o.searchTarget)
            return std::nullopt;
    }
    return o;
}
