#include "sim/fault_plan.h"

#include <algorithm>
#include <cstdlib>

namespace pellacor::sim {

FaultDecision Decide(const std::vector<Fault>& faults, Transport transport,
                     uint64_t requestNumber) {
    FaultDecision d;
    for (const Fault& f : faults) {
        if (!f.AppliesTo(transport)) {
            continue;
        }
        uint64_t n = f.value > 0 ? static_cast<uint64_t>(f.value) : 0;
        switch (f.kind) {
            case FaultKind::DropNth:
                d.drop = d.drop || requestNumber == n;
                break;
            case FaultKind::DropEvery:
                d.drop = d.drop || (n > 0 && requestNumber % n == 0);
                break;
            case FaultKind::Delay:
                d.delayMs += f.value;
                break;
            case FaultKind::Split:
                d.split = true;
                d.splitAt = n;
                break;
            case FaultKind::CloseAfter:
                d.closeAfterReply = d.closeAfterReply || requestNumber >= n;
                break;
            case FaultKind::Silent:
                d.drop = true;
                break;
            case FaultKind::WrongAck:
                d.wrongAck = true;
                break;
            case FaultKind::Truncate:
                d.truncate = true;
                break;
            case FaultKind::Oversize:
                d.oversize = true;
                break;
            case FaultKind::Stray:
                d.stray = true;
                break;
            case FaultKind::Trickle:
                d.trickle = f.value > 0 ? f.value : 15;
                break;
            case FaultKind::Flood:
                d.flood += f.value;
                break;
            case FaultKind::Rogue:
                d.rogue = true;
                break;
            case FaultKind::NoEcho:
                d.noEcho = true;
                break;
        }
    }
    return d;
}

void DropEcho(const FaultDecision& d, size_t echoed, std::vector<uint8_t>& reply) {
    if (d.noEcho) {
        std::fill_n(reply.begin(), std::min(echoed, reply.size()), uint8_t{0});
    }
}

void ShapeReply(const FaultDecision& d, std::vector<uint8_t>& reply) {
    if (d.truncate && reply.size() > 1) {
        reply.resize(reply.size() / 2);
    }
    if (d.oversize) {
        reply.resize(reply.size() + 16, 0xEE);
    }
}

std::optional<Fault> ParseFault(const std::string& text, std::string* error) {
    struct Name {
        const char* text;
        FaultKind kind;
        bool needsValue;
    };
    static const Name kNames[] = {
        {"drop-nth", FaultKind::DropNth, true},
        {"drop-every", FaultKind::DropEvery, true},
        {"delay", FaultKind::Delay, true},
        {"split", FaultKind::Split, false},
        {"close-after", FaultKind::CloseAfter, true},
        {"silent", FaultKind::Silent, false},
        {"wrong-ack", FaultKind::WrongAck, false},
        {"truncate", FaultKind::Truncate, false},
        {"oversize", FaultKind::Oversize, false},
        {"stray", FaultKind::Stray, false},
        {"trickle", FaultKind::Trickle, false},
        {"flood", FaultKind::Flood, true},
        {"rogue", FaultKind::Rogue, false},
        {"no-echo", FaultKind::NoEcho, false},
    };
    auto fail = [&](std::string why) -> std::optional<Fault> {
        if (error != nullptr) {
            *error = "fault \"" + text + "\": " + why;
        }
        return std::nullopt;
    };
    std::string body = text;
    std::string where;
    if (auto at = body.find('@'); at != std::string::npos) {
        where = body.substr(at + 1);
        body.resize(at);
    }
    std::string value;
    if (auto eq = body.find('='); eq != std::string::npos) {
        value = body.substr(eq + 1);
        body.resize(eq);
    }
    Fault f;
    const Name* found = nullptr;
    for (const Name& n : kNames) {
        if (body == n.text) {
            found = &n;
        }
    }
    if (found == nullptr) {
        return fail(
            "unknown kind (drop-nth, drop-every, delay, split, close-after, silent, "
            "wrong-ack, truncate, oversize, stray, trickle, flood, rogue, no-echo)");
    }
    f.kind = found->kind;
    if (!value.empty()) {
        char* end = nullptr;
        long v = std::strtol(value.c_str(), &end, 10);
        if (*end != '\0' || v < 0 || v > 1000000) {
            return fail("value must be a number from 0 to 1000000");
        }
        f.value = static_cast<int>(v);
    } else if (found->needsValue) {
        return fail("needs =N");
    }
    if ((f.kind == FaultKind::DropNth || f.kind == FaultKind::DropEvery ||
         f.kind == FaultKind::CloseAfter || f.kind == FaultKind::Flood) &&
        f.value == 0) {
        return fail("N must be at least 1");
    }
    size_t pos = 0;
    while (pos < where.size()) {
        size_t comma = where.find(',', pos);
        std::string t =
            where.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos);
        Transport tr;
        if (t == "tcp") {
            tr = Transport::Tcp;
        } else if (t == "udp") {
            tr = Transport::Udp;
        } else if (t == "usb") {
            tr = Transport::UsbHid;
        } else if (t == "printer") {
            tr = Transport::UsbPrinter;
        } else {
            return fail("unknown transport \"" + t + "\" (tcp, udp, usb, printer)");
        }
        f.transports |= 1u << static_cast<unsigned>(tr);
        if (comma == std::string::npos) {
            break;
        }
        pos = comma + 1;
    }
    return f;
}

}  // namespace pellacor::sim
