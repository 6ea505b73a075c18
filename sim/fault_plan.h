#pragma once

// Faults injected on demand. Every fault is deterministic: it depends only on the count
// of requests a laminator has received on the transport, never on timing or chance.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim/frame_log.h"

namespace pellacor::sim {

enum class FaultKind {
    DropNth,     // no reply to request number N (1-based, counted per transport)
    DropEvery,   // no reply to every Nth request
    Delay,       // wait N milliseconds before every reply
    Split,       // send each TCP reply in two sends (first part N bytes, 0 = half)
    CloseAfter,  // close the connection once N requests have been answered
    Silent,      // answer nothing
    WrongAck,    // UDP acknowledgements carry the wrong bytes
    Truncate,    // replies and datagrams lose their second half
    Oversize,    // replies and datagrams carry 16 extra bytes
    // Other hosts on the discovery port (UDP only):
    Stray,    // fragments from 127.0.0.9 to .11 reach the searcher before the replies
    Trickle,  // the first laminator repeats its search reply every 400 ms, N times (15)
    Flood,    // a search also gets N distinct replies of laminators that do not exist
    Rogue,    // 127.0.0.12 answers every settings read first, with settings of its own
    // A laminator whose status and card-channel replies carry zeros where the simulator's
    // repeat the request's bytes (USB only).
    NoEcho,
};

struct Fault {
    FaultKind kind = FaultKind::Silent;
    int value = 0;
    // Bit set of transports it applies to; 0 = all.
    unsigned transports = 0;

    bool AppliesTo(Transport t) const {
        return transports == 0 || (transports & (1u << static_cast<unsigned>(t))) != 0;
    }
};

// What to do with the reply to one request.
struct FaultDecision {
    bool drop = false;
    int delayMs = 0;
    bool split = false;
    size_t splitAt = 0;  // 0 = half
    bool closeAfterReply = false;
    bool wrongAck = false;
    bool truncate = false;
    bool oversize = false;
    bool stray = false;
    int trickle = 0;  // repeats
    int flood = 0;    // distinct replies
    bool rogue = false;
    bool noEcho = false;
};

// `requestNumber` is the 1-based count of requests received on the transport.
FaultDecision Decide(const std::vector<Fault>& faults, Transport transport, uint64_t requestNumber);

// Parses "kind[=N][@transport[,transport]]", for example "drop-nth=3@tcp" or "split@tcp".
// Transports: tcp, udp, usb (HID), printer.
std::optional<Fault> ParseFault(const std::string& text, std::string* error);

// Zeros the first `echoed` bytes of a reply under no-echo.
void DropEcho(const FaultDecision& d, size_t echoed, std::vector<uint8_t>& reply);

// Applies truncate / oversize to a reply.
void ShapeReply(const FaultDecision& d, std::vector<uint8_t>& reply);

}  // namespace pellacor::sim
