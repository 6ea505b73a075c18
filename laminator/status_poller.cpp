#include "laminator/status_poller.h"

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>

#include "laminator/link_exchange.h"
#include "laminator/param_store.h"
#include "laminator/reply_decoders.h"
#include "laminator/status_fields.h"
#include "laminator/status_history.h"
#include "laminator/status_reading_observer.h"
#include "laminator/status_text.h"
#include "link/ethernet_link.h"
#include "link/link_buffers.h"
#include "link/usb_link.h"

namespace {
constexpr const char* kStatusQuery = "1c41500100000000";
constexpr const char* kCardChannelQuery = "1B650000080000000000000000000000";
constexpr const char* kNotConnected = "Laminator is not connected!";
// What names each query: a reply that starts with the other one's bytes after that one
// went unanswered is its late reply. A reply need not start with its own.
constexpr std::uint8_t kStatusCommand[] = {0x1C, 0x41, 0x50, 0x01};
constexpr std::uint8_t kCardChannelCommand[] = {0x1B, 0x65};
// Bytes of the status reply block the decoder reads; the USB frame adds its two header bytes.
constexpr std::size_t kStatusReplyBytes = 32;

// The status fields of a reply. A reply that did not come, or came without its fields,
// empties the boxes: zeros would be readings the laminator never made. True when it had them.
bool ShowStatus(LaminatorView& view, const Reply& r) {
    const std::optional<std::array<std::string, 4>> texts = DecodeStatus(r);
    const int boxes[] = {kIdRollerTemperature, kIdStateBox, kIdErrorBox, kIdEnvironmentTemperature};
    for (std::size_t i = 0; i < 4; ++i)
        view.SetControlText(boxes[i], texts ? (*texts)[i] : "");
    return texts.has_value();
}

// One USB exchange under the link lock; nullopt when a stop came first (nothing sent).
std::optional<Reply> UsbQuery(PollerToken& token, std::string_view command,
                              std::span<const std::uint8_t> names) {
    LinkTransaction link;
    if (token.StopRequested())
        return std::nullopt;
    EncodeFrame(LinkKind::Usb, command);
    SendFrame(LinkKind::Usb);
    return ReceiveReply(LinkKind::Usb, 0, names);
}

void Record(StatusSample sample) {
    // Recorded live: the history measures the stretch since the last reading on this.
    sample.steadyMs = SteadyNowMs();
    if (StatusHistory* history = CurrentStatusHistory())
        history->Append(sample);
    NotifyStatusReading(sample);
}

// The history's reading of a status reply; a gap when its fields did not come.
StatusSample SampleOf(const Reply& reply, std::int64_t timeMs) {
    const std::optional<StatusFields> f = DecodeStatusFields(reply);
    if (!f)
        return StatusSample::Gap(timeMs);
    StatusSample s;
    s.timeMs = timeMs;
    s.rollerCenti = f->rollerCenti;
    s.environmentCenti = f->environmentCenti;
    s.state = f->state;
    s.error = f->error;
    // What the last parameter read gave, so the history knows when the set point changed.
    if (Store().WasRead(ParamKey::HeatingRollerTemperature)) {
        const double set = std::atof(Store().Get(ParamKey::HeatingRollerTemperature).c_str());
        if (set > 0 && set < 600)
            s.setCenti = static_cast<std::uint16_t>(set * 100 + 0.5);
    }
    return s;
}

void NotConnected(LaminatorView& view) {
    Record(StatusSample::Gap(NowMs()));
    ReportLinkMessage(kNotConnected);
    view.EnableButton(kIdActivatePort, true);
}

// One status and one card-channel exchange. False when a stop came first; `answered` tells
// whether the status query got its reply (the boxes are emptied when not).
bool UsbStatusCycle(LaminatorView& view, PollerToken& token, bool& answered) {
    const std::int64_t timeMs = NowMs();
    const std::optional<Reply> status = UsbQuery(token, kStatusQuery, kStatusCommand);
    if (!status)
        return false;
    answered = ShowStatus(view, *status);
    // A frame cut short is a failed receive, told like one that did not come.
    if (!answered && status->received)
        ReportLinkMessage("Failed to receive data!");
    StatusSample sample = answered ? SampleOf(*status, timeMs) : StatusSample::Gap(timeMs);
    SignalPollCycleDone();
    const std::optional<Reply> cards = UsbQuery(token, kCardChannelQuery, kCardChannelCommand);
    if (cards && !sample.gap) {
        if (const std::optional<std::uint8_t> sensors = DecodeCardSensors(*cards))
            sample.cardSensors = static_cast<std::int8_t>(*sensors & 7);
    }
    Record(sample);
    if (!cards)
        return false;
    view.SetControlText(kIdCardChannelBox, DecodeCardChannel(*cards).value_or(""));
    return true;
}

// One status exchange; false when a stop came first or no reply came.
bool NetStatusCycle(LaminatorView& view, PollerToken& token) {
    Reply reply;
    const std::int64_t timeMs = NowMs();
    {
        LinkTransaction link;
        if (token.StopRequested())
            return false;
        EncodeCommand(kStatusQuery);  // the 8 bytes alone over TCP
        NetSend();
        reply = ReceiveReply(LinkKind::Ethernet, kStatusReplyBytes);
    }
    if (!reply.received) {
        Record(StatusSample::Gap(timeMs));
        return false;  // the receive has said why; the last reading stays shown
    }
    // A reply cut short: the receive of its rest has said so; the cycle failed.
    const bool answered = ShowStatus(view, reply);
    Record(answered ? SampleOf(reply, timeMs) : StatusSample::Gap(timeMs));
    SignalPollCycleDone();
    return answered;
}
}  // namespace

int UsbStatusPoller(LaminatorView* view, PollerToken& token) {
    if (view->ReadOnFirstPollSet()) {
        // Still set when the laminator is absent: the read is owed to the next poller.
        if (!ProbeHidLaminator()) {
            NotConnected(*view);
            return 1;
        }
        view->RunRead();
        view->ClearReadOnFirstPoll();
    }
    if (!token.Wait(kPollInterval))
        return 1;
    if (!ProbeHidLaminator()) {
        NotConnected(*view);
        return 1;
    }
    for (;;) {
        bool answered = false;
        if (!UsbStatusCycle(*view, token, answered))
            return 1;
        if (!token.Wait(kPollInterval))
            return 1;
        if (!ProbeHidLaminator()) {
            NotConnected(*view);
            return 1;
        }
    }
}

int NetStatusPoller(LaminatorView* view, PollerToken& token) {
    for (;;) {
        if (!token.Wait(kPollInterval))
            return 1;
        if (!NetStatusCycle(*view, token))
            return 1;
    }
}

bool ReadStatusOnce(LaminatorView& view, LinkKind link) {
    PollerToken token;
    if (link == LinkKind::Ethernet)
        return NetStatusCycle(view, token);
    bool answered = false;
    return UsbStatusCycle(view, token, answered) && answered;
}
