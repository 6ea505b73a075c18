#include "laminator/status_poller.h"

#include <algorithm>
#include <array>
#include <string>

#include "laminator/status_text.h"
#include "link/ethernet_link.h"
#include "link/link_buffers.h"
#include "link/usb_link.h"

namespace {
constexpr const char* kStatusQuery = "1c41500100000000";
constexpr const char* kCardChannelQuery = "1B650000080000000000000000000000";
constexpr const char* kNotConnected = "Laminator is not connected!";
constexpr const char* kReceiveFailed = "Failed to receive data!";
// Ethernet offsets of the status reply; over USB each sits two bytes later.
constexpr int kEnvTemperature = 10;
constexpr int kRollerTemperature = 18;
constexpr int kStateCode = 20;
constexpr int kErrorCode = 28;
constexpr std::size_t kStatusReplyBytes = 32;
constexpr int kCardSensorByte = 34;  // USB frame offset

using Reply = std::array<std::uint8_t, kLinkBufferSize>;

void ShowStatus(LaminatorView& view, const Reply& r, int shift) {
    view.SetControlText(kIdRollerTemperature, TemperatureText(r[kRollerTemperature + shift],
                                                              r[kRollerTemperature + shift + 1]));
    view.SetControlText(kIdStateBox, StateText(&r[kStateCode + shift]));
    view.SetControlText(kIdErrorBox, ErrorText(&r[kErrorCode + shift]));
    view.SetControlText(kIdEnvironmentTemperature, TemperatureText(r[kEnvTemperature + shift],
                                                                   r[kEnvTemperature + shift + 1]));
}

// One USB exchange under the link lock; false when a stop came first (nothing sent).
bool UsbQuery(PollerToken& token, const std::string& command, Reply& reply) {
    LinkTransaction link;
    if (token.StopRequested())
        return false;
    EncodeCommand("a53e" + command);
    TxLength = 64;
    UsbWrite();
    RxBuffer.fill(0);
    if (UsbRead() == 0)
        ReportLinkMessage(kReceiveFailed);
    reply = RxBuffer;
    return true;
}

void NotConnected(LaminatorView& view) {
    ReportLinkMessage(kNotConnected);
    view.EnableButton(kIdActivatePort, true);
}
}  // namespace

int UsbStatusPoller(LaminatorView* view, PollerToken& token) {
    if (view->ConsumeReadOnFirstPoll()) {
        if (!ProbeHidLaminator()) {
            NotConnected(*view);
            return 1;
        }
        view->RunRead();
    }
    if (!token.Wait(kPollInterval))
        return 1;
    if (!ProbeHidLaminator()) {
        NotConnected(*view);
        return 1;
    }
    for (;;) {
        Reply reply{};
        if (!UsbQuery(token, kStatusQuery, reply))
            return 1;
        ShowStatus(*view, reply, 2);
        SignalPollCycleDone();
        if (!UsbQuery(token, kCardChannelQuery, reply))
            return 1;
        view->SetControlText(kIdCardChannelBox, CardChannelText(reply[kCardSensorByte]));
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
        Reply reply{};
        {
            LinkTransaction link;
            if (token.StopRequested())
                return 1;
            EncodeCommand(kStatusQuery);
            NetSend();
            if (!NetReceive(kStatusReplyBytes))
                return 1;  // the receive has said why
            reply = RxBuffer;
        }
        ShowStatus(*view, reply, 0);
        SignalPollCycleDone();
    }
}
