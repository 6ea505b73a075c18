#pragma once
// The command line of the program.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "journal/journal_session.h"
#include "netsetup/search_target.h"

struct ProgramOptions {
    bool demo = false;                         // run against the built-in simulated laminator
    bool fastWarmup = false;                   // its roller warms up in seconds
    std::vector<std::string> usbSimHid;        // virtual HID laminators to list as plugged in
    std::vector<std::string> usbSimPrinter;    // virtual printing-class laminators
    std::optional<std::uint16_t> tcpPort;      // the laminator's command port (9100)
    std::optional<SearchTarget> searchTarget;  // where the network search goes
    std::string screenshot;                    // render the window to this PNG and exit
    std::string serviceRecord;  // with screenshot: that laminator's Service record window
    std::string trace;          // frame trace file, "-" for standard error
    JournalSettings journal;    // the service record
    bool help = false;
    bool version = false;  // print "pellacor VERSION" and exit
};

// Parses argv; on a bad argument returns nullopt and says why in `error`.
std::optional<ProgramOptions> ParseProgramOptions(const std::vector<std::string>& args,
                                                  std::string& error);
std::string ProgramUsage();
