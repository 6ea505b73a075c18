#include "laminator/probe.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string_view>

#include "laminator/information_reply.h"
#include "laminator/status_fields.h"
#include "link/command_text.h"
#include "link/link_buffers.h"
#include "link/usb_link.h"

namespace {
struct Query {
    const char* name;
    const char* command;
    bool usbOnly = false;
    // Over USB the tool sends this whole frame instead of "a53e" and the command.
    const char* usbFrame = nullptr;
};

// The reads the tool makes, in the order a full parameter read makes them.
constexpr Query kQueries[] = {
    {"status", "1c41500100000000"},
    {"card-channel", "1B650000080000000000000000000000", true},
    {"information", "1D52090"},
    {"model-id", "1C72810000000000", false, "a5081C72810000000000"},
    {"counters", "1c72490100000000"},
    {"boot-version", "1c72490200000000"},
    {"page-p1", "1c72500100000000"},
    {"page-p2", "1c72500200000000"},
    {"page-m10", "1c724d1000000000"},
    {"page-h1", "1c72480100000000"},
    {"interface-0", "1c72450000000000"},
    {"interface-1", "1c72450100000000"},
};

constexpr std::size_t kUsbFrameData = 62;

std::string Hex(const std::uint8_t* bytes, std::size_t n) {
    std::string text;
    char two[3];
    for (std::size_t i = 0; i < n; ++i) {
        std::snprintf(two, sizeof two, "%02x", bytes[i]);
        text += two;
    }
    return text;
}

bool Echoes(const Reply& reply, std::size_t sentBase) {
    const std::size_t n = std::min<std::size_t>(4, kLinkBufferSize - sentBase);
    return reply.length >= reply.base + n &&
           std::equal(TxBuffer.begin() + static_cast<std::ptrdiff_t>(sentBase),
                      TxBuffer.begin() + static_cast<std::ptrdiff_t>(sentBase + n),
                      reply.bytes.begin() + static_cast<std::ptrdiff_t>(reply.base));
}

std::vector<std::string> SplitFields(const Reply& reply) {
    std::vector<std::string> fields(1);
    for (std::size_t i = reply.base; i < reply.length; ++i) {
        const std::uint8_t c = reply.bytes[i];
        if (c == ';')
            fields.emplace_back();
        else if (c >= 0x20 && c < 0x7F)
            fields.back() += static_cast<char>(c);
    }
    return fields;
}

ProbeExchange Exchange(LinkKind link, const Query& q, Reply& reply) {
    using Clock = std::chrono::steady_clock;
    ProbeExchange e;
    e.query = q.name;
    LinkTransaction transaction;
    if (link == LinkKind::Usb && q.usbFrame) {
        EncodeCommand(q.usbFrame);
        TxLength = 64;
    } else {
        EncodeFrame(link, q.command);
    }
    const std::size_t digits =
        std::string_view(link == LinkKind::Usb && q.usbFrame ? q.usbFrame : q.command).size();
    const std::size_t header = link == LinkKind::Usb && !q.usbFrame ? 2 : 0;
    e.command = Hex(TxBuffer.data(), header + (digits + 1) / 2);
    const std::size_t sentBase = link == LinkKind::Usb ? 2 : 0;
    const Clock::time_point start = Clock::now();
    e.sent = SendFrame(link);
    reply = ReceiveReply(link, 0);
    e.milliseconds = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    e.received = reply.received;
    e.length = reply.length;
    e.echoes = reply.received && Echoes(reply, sentBase);
    e.reply.assign(reply.bytes.begin(), reply.bytes.begin() + static_cast<long>(reply.length));
    // A full first frame is where the tool reads on for the rest of the reply.
    e.continues = link == LinkKind::Usb && reply.received && reply.bytes[1] >= kUsbFrameData;
    if (e.continues) {
        RxBuffer.fill(0);
        const int more = UsbRead();
        e.continuationReceived = more > 0;
        if (more > 0)
            e.reply.insert(e.reply.end(), RxBuffer.begin(), RxBuffer.begin() + more);
    }
    return e;
}
}  // namespace

bool ProbeResult::AllAnswered() const {
    return std::all_of(exchanges.begin(), exchanges.end(), [](const ProbeExchange& e) {
        return e.received && (!e.continues || e.continuationReceived);
    });
}

ProbeResult ProbeLaminator(LinkKind link) {
    ProbeResult result;
    for (const Query& q : kQueries) {
        if (q.usbOnly && link != LinkKind::Usb)
            continue;
        Reply reply;
        result.exchanges.push_back(Exchange(link, q, reply));
        if (!reply.received)
            continue;
        const std::string name = q.name;
        if (name == "status") {
            if (const std::optional<StatusFields> f = DecodeStatusFields(reply)) {
                result.stateCode = f->state;
                result.errorCode = f->error;
            }
        } else if (name == "information") {
            result.informationFields = SplitFields(reply);
            result.serialNumber =
                ScanSerialNumber(reply.bytes.data(), reply.length, link == LinkKind::Usb ? 8 : 6);
            result.mainVersion = ScanMainVersion(reply.bytes.data(), reply.length);
        }
    }
    return result;
}
