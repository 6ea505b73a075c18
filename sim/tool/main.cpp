// pellacor-sim: plays one or more laminators on loopback for the Pellacor tool and its
// tests. See --help.

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>
#include <thread>

#include "platform/process.h"
#include "sim/roller_warmup.h"
#include "sim/simulator.h"
#include "sim/usb_control.h"

namespace {

using pellacor::sim::Fault;
using pellacor::sim::kFastWarmupTauMs;
using pellacor::sim::LaminatorState;
using pellacor::sim::ParseFault;
using pellacor::sim::SetWarmupTauMs;
using pellacor::sim::SimOptions;
using pellacor::sim::Simulator;
using pellacor::sim::UsbControl;

const char* kHelp = R"(pellacor-sim: a simulated card laminator for Pellacor.

Usage: pellacor-sim [options]

With no options it answers on 127.0.0.1:9100 (TCP command port) and 127.0.0.1:1901
(UDP discovery and configuration), with factory defaults, until interrupted.

Transports
  --tcp HOST:PORT        TCP command port (default 127.0.0.1:9100, port 0 = any free)
  --no-tcp               no TCP port
  --udp HOST:PORT        UDP discovery port (default 127.0.0.1:1901, port 0 = any free)
  --no-udp               no UDP port
  --usb PATH             virtual USB HID laminator carrying 64-byte A5 frames: a
                         loopback TCP port written into the file PATH, each message
                         sent as a 4-byte big-endian length and its bytes
  --usb-printer PATH     virtual USB printing-class device at PATH (unframed bytes)
  --count N              N laminators (default 1). Laminator k (k = 0..N-1) listens on
                         the TCP host's last octet + k with the same port, has its own
                         MAC 02:50:4c:00:00:<k+1>, serial and name; its USB files are
                         PATH-<k+1> for k > 0. One UDP socket answers for all.
  --control-stdin        read "unplug" and "plug" lines from standard input: they
                         pull and plug the USB cable of every laminator
Addresses are loopback unless you give another one explicitly.

State
  --state FILE           restore the laminators from FILE (JSON) if it exists and save
                         them there on exit
  --firmware-out FILE    write every finished firmware transfer to FILE (FILE-<k+1> for
                         laminator k > 0)
  --error HEX            report this error/warning code, e.g. 45000401 (no transfer film)
                         or 57000301; default follows the heating roller
  --state-code HEX       report this machine state code, e.g. 4D000401 (laminating)
  --card-bits N          card-channel sensor bits (bit 0..2 = channel 1..3)
  --env-temp C100        environment temperature in hundredths of a degree (2350)
  --heat-rate C100       how fast the roller moves to its set point, hundredths of a
                         degree per second (500; 0 keeps it where it is)
  --fast-warmup          the roller is ready in about half a minute instead of about
                         3 minutes (a first-order approach in both cases)

Log and checks
  --log FILE             append every frame received and sent as a JSON line:
                         seq, time_us, laminator, transport, dir (rx/tx), bytes (hex),
                         and flag / note. Flags: incomplete (a request that never became
                         whole), mixed-bracket (a command inside an open MODE bracket that
                         does not belong there), protocol-error (wrong tags, bad UDP
                         checksum or login, ...), unknown-command (answered with the
                         short reply 15 xx yy 00), dropped (a reply held back by a fault).
  --idle-ms MS           a TCP request still partial after MS idle is flagged (300)
  A summary of the counters is printed on exit.

Faults (repeatable; deterministic; requests are counted per laminator and transport)
  --fault KIND[=N][@TRANSPORTS]   TRANSPORTS: tcp, udp, usb, printer, comma separated
                                  (default all)
    drop-nth=N           no reply to request N
    drop-every=N         no reply to every Nth request
    delay=MS             wait MS before each reply
    split[=B]            send each TCP reply in two sends (first B bytes, default half);
                         over UDP: two datagrams
    close-after=N        close the connection after answering request N
    silent               answer nothing
    wrong-ack            UDP write/finish acknowledgements carry 'N' instead of 'K'
    truncate             send only the first half of each reply / datagram
    oversize             send 16 extra bytes with each reply / datagram
    stray                (udp) before the replies to a search, fragments of a made-up
                         reply arrive from 127.0.0.9, 127.0.0.10 and 127.0.0.11
    trickle[=N]          (udp) the first laminator repeats its search reply every
                         400 ms, N times (default 15)
    flood=N              (udp) a search also gets N distinct made-up replies
    rogue                (udp) 127.0.0.12 answers each settings read first, with a
                         record of its own for the MAC asked
    no-echo              (usb) status and card-channel replies do not repeat the
                         request's bytes: zeros stand where they would
  Signals: SIGUSR1 unplugs the virtual USB device(s) (closes the port and removes
  its file), SIGUSR2 plugs them in again; --control-stdin does the same.

  --help                 this text
)";

bool SplitHostPort(const std::string& text, std::string& host, uint16_t& port) {
    auto colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0) {
        return false;
    }
    char* end = nullptr;
    long p = std::strtol(text.c_str() + colon + 1, &end, 10);
    if (*end != '\0' || p < 0 || p > 65535 || colon + 1 == text.size()) {
        return false;
    }
    host = text.substr(0, colon);
    port = static_cast<uint16_t>(p);
    return true;
}

bool ParseNumber(const char* text, int base, unsigned long max, unsigned long& out) {
    char* end = nullptr;
    errno = 0;
    out = std::strtoul(text, &end, base);
    return errno == 0 && end != text && *end == '\0' && out <= max;
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "pellacor-sim: %s (see --help)\n", message.c_str());
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    // The frame log on standard output keeps LF line ends on Windows too.
    platform::BinaryStandardOutput();
    SimOptions options;
    bool controlStdin = false;
    bool setError = false, setState = false, setCards = false, setEnv = false, setRate = false;
    unsigned long errorCode = 0, stateCode = 0, cardBits = 0, envTemp = 0, heatRate = 0;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&](const char* name) -> const char* {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "pellacor-sim: %s needs a value\n", name);
                std::exit(2);
            }
            return argv[++i];
        };
        if (arg == "--help" || arg == "-h") {
            std::fputs(kHelp, stdout);
            return 0;
        } else if (arg == "--tcp") {
            if (!SplitHostPort(value("--tcp"), options.tcpHost, options.tcpPort)) {
                return Fail("--tcp needs HOST:PORT");
            }
        } else if (arg == "--udp") {
            if (!SplitHostPort(value("--udp"), options.udpHost, options.udpPort)) {
                return Fail("--udp needs HOST:PORT");
            }
        } else if (arg == "--no-tcp") {
            options.tcp = false;
        } else if (arg == "--no-udp") {
            options.udp = false;
        } else if (arg == "--usb") {
            options.usbPath = value("--usb");
        } else if (arg == "--usb-printer") {
            options.printerPath = value("--usb-printer");
        } else if (arg == "--control-stdin") {
            controlStdin = true;
        } else if (arg == "--count") {
            unsigned long n = 0;
            if (!ParseNumber(value("--count"), 10, 200, n) || n == 0) {
                return Fail("--count needs a number from 1 to 200");
            }
            options.count = static_cast<int>(n);
        } else if (arg == "--state") {
            options.stateFile = value("--state");
        } else if (arg == "--firmware-out") {
            options.firmwareFile = value("--firmware-out");
        } else if (arg == "--log") {
            options.logFile = value("--log");
        } else if (arg == "--idle-ms") {
            unsigned long ms = 0;
            if (!ParseNumber(value("--idle-ms"), 10, 60000, ms) || ms == 0) {
                return Fail("--idle-ms needs a number from 1 to 60000");
            }
            options.idleFlushMs = static_cast<int>(ms);
        } else if (arg == "--fault") {
            std::string error;
            auto f = ParseFault(value("--fault"), &error);
            if (!f) {
                return Fail(error);
            }
            options.faults.push_back(*f);
        } else if (arg == "--error") {
            setError = ParseNumber(value("--error"), 16, 0xFFFFFFFFul, errorCode);
            if (!setError) {
                return Fail("--error needs 8 hexadecimal digits, e.g. 45000401");
            }
        } else if (arg == "--state-code") {
            setState = ParseNumber(value("--state-code"), 16, 0xFFFFFFFFul, stateCode);
            if (!setState) {
                return Fail("--state-code needs 8 hexadecimal digits, e.g. 4D000201");
            }
        } else if (arg == "--card-bits") {
            setCards = ParseNumber(value("--card-bits"), 0, 255, cardBits);
            if (!setCards) {
                return Fail("--card-bits needs a number from 0 to 255");
            }
        } else if (arg == "--env-temp") {
            setEnv = ParseNumber(value("--env-temp"), 10, 65535, envTemp);
            if (!setEnv) {
                return Fail("--env-temp needs hundredths of a degree, 0 to 65535");
            }
        } else if (arg == "--fast-warmup") {
            SetWarmupTauMs(kFastWarmupTauMs);
        } else if (arg == "--heat-rate") {
            setRate = ParseNumber(value("--heat-rate"), 10, 65535, heatRate);
            if (!setRate) {
                return Fail("--heat-rate needs hundredths of a degree per second");
            }
        } else {
            return Fail("unknown option " + arg);
        }
    }

    // Stop and the user signals are taken on this thread only, before any server starts.
    platform::HoldConsoleRequests();

    Simulator sim(options);
    std::string error;
    if (!sim.Start(&error)) {
        std::fprintf(stderr, "pellacor-sim: %s\n", error.c_str());
        return 1;
    }
    for (int k = 0; k < sim.Count(); ++k) {
        sim.UpdateState(k, [&](LaminatorState& s) {
            if (setError) {
                s.errorOverride = true;
                s.errorCode = static_cast<uint32_t>(errorCode);
            }
            if (setState) {
                s.stateOverride = true;
                s.stateCode = static_cast<uint32_t>(stateCode);
            }
            if (setCards) {
                s.cardBits = static_cast<uint8_t>(cardBits);
            }
            if (setEnv) {
                s.environmentTemp = static_cast<uint16_t>(envTemp);
            }
            if (setRate) {
                s.heatingRatePerSecond = static_cast<uint16_t>(heatRate);
            }
        });
    }
    std::printf("pellacor-sim listening:\n%s", sim.Describe().c_str());
    std::fflush(stdout);
    // The reading thread may outlive main's wait for a line: it shares the control, which
    // is closed before the simulator goes.
    auto control = std::make_shared<UsbControl>(sim);
    if (controlStdin) {
        std::thread([control] { control->Run(std::cin, std::cout); }).detach();
    }

    for (;;) {
        const platform::ConsoleRequest request = platform::WaitConsoleRequest();
        if (request == platform::ConsoleRequest::Stop) {
            break;
        }
        const bool unplug = request == platform::ConsoleRequest::User1;
        std::fputs(control->Apply(unplug ? "unplug" : "plug").c_str(), stdout);
        std::fflush(stdout);
    }
    control->Close();
    sim.Stop();
    auto c = sim.GetCounters();
    std::printf(
        "frames received %llu, sent %llu; incomplete %llu, mixed-bracket %llu, "
        "protocol errors %llu, unknown commands %llu, dropped %llu\n",
        static_cast<unsigned long long>(c.received), static_cast<unsigned long long>(c.sent),
        static_cast<unsigned long long>(c.incomplete),
        static_cast<unsigned long long>(c.mixedBracket),
        static_cast<unsigned long long>(c.protocolErrors),
        static_cast<unsigned long long>(c.unknownCommands),
        static_cast<unsigned long long>(c.dropped));
    return 0;
}
