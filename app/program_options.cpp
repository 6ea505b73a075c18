#include "app/program_options.h"

#include <charconv>

std::string ProgramUsage() {
    return "Usage: pellacor [options]\n"
           "  --demo                 run against built-in simulated laminators on loopback\n"
           "  --usb-sim PATH         list the simulator's virtual HID laminator at PATH\n"
           "  --usb-sim-printer PATH list its virtual printing-class laminator at PATH\n"
           "  --tcp-port N           connect to the laminator's command port N (default 9100)\n"
           "  --search-address ADDRESS[:PORT]\n"
           "                         send the network search and settings requests to ADDRESS\n"
           "                         (default 255.255.255.255:1901 out of every interface)\n"
           "  --screenshot FILE.png  render the main window to FILE.png and exit\n"
           "  --trace FILE           write every frame sent and received to FILE (- for\n"
           "                         standard error)\n"
           "  --help                 show this text\n";
}

std::optional<ProgramOptions> ParseProgramOptions(const std::vector<std::string>& args,
                                                  std::string& error) {
    ProgramOptions o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&]() -> const std::string* {
            if (i + 1 >= args.size()) {
                error = a + " needs a value";
                return nullptr;
            }
            return &args[++i];
        };
        if (a == "--demo") {
            o.demo = true;
        } else if (a == "--help" || a == "-h") {
            o.help = true;
        } else if (a == "--usb-sim" || a == "--usb-sim-printer" || a == "--screenshot" ||
                   a == "--trace") {
            const std::string* v = value();
            if (!v)
                return std::nullopt;
            if (a == "--usb-sim")
                o.usbSimHid.push_back(*v);
            else if (a == "--usb-sim-printer")
                o.usbSimPrinter.push_back(*v);
            else if (a == "--trace")
                o.trace = *v;
            else
                o.screenshot = *v;
        } else if (a == "--tcp-port") {
            const std::string* v = value();
            if (!v)
                return std::nullopt;
            unsigned port = 0;
            const auto [end, ec] = std::from_chars(v->data(), v->data() + v->size(), port);
            if (ec != std::errc() || end != v->data() + v->size() || port == 0 || port > 65535) {
                error = "--tcp-port takes a port number from 1 to 65535, not \"" + *v + "\"";
                return std::nullopt;
            }
            o.tcpPort = static_cast<std::uint16_t>(port);
        } else if (a == "--search-address") {
            const std::string* v = value();
            if (!v)
                return std::nullopt;
            o.searchTarget = ParseSearchTarget(*v, error);
            if (!o.searchTarget)
                return std::nullopt;
        } else {
            error = "unknown option \"" + a + "\"";
            return std::nullopt;
        }
    }
    return o;
}
