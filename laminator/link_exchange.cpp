#include "laminator/link_exchange.h"

#include <algorithm>
#include <string>

#include "link/ethernet_link.h"
#include "link/link_flags.h"
#include "link/reply_wait.h"
#include "link/usb_link.h"

std::optional<LinkKind> LinkInUse() {
    if (EthernetLinkActive)
        return LinkKind::Ethernet;
    if (UsbLinkActive)
        return LinkKind::Usb;
    return std::nullopt;
}

void EncodeFrame(LinkKind link, std::string_view command) {
    if (link == LinkKind::Usb) {
        std::string framed = "a53e";
        framed += command;
        EncodeCommand(framed);
    } else {
        EncodeCommand(command);
    }
    TxLength = 64;
}

void PutByte(LinkKind link, std::size_t offset, std::uint8_t value) {
    TxBuffer[FieldBase(link) + offset] = value;
}

void PutTag(LinkKind link, std::size_t offset, std::string_view letters) {
    for (char c : letters)
        PutByte(link, offset++, static_cast<std::uint8_t>(c));
}

bool SendFrame(LinkKind link) {
    if (link == LinkKind::Usb)
        return UsbWrite() > 0;
    return NetSend() > 0;
}

Reply ReceiveReply(LinkKind link, std::size_t expected, std::span<const std::uint8_t> command) {
    Reply reply;
    reply.base = FieldBase(link);
    if (link == LinkKind::Usb) {
        RxBuffer.fill(0);
        const int got = UsbReadReplyTo(command);
        if (got <= 0) {
            RxBuffer.fill(0);
            NoteLinkFailure(LinkFailure::NoReply);
            ReportLinkMessage("Failed to receive data!");
            return reply;
        }
        reply.length = std::min(static_cast<std::size_t>(got), RxBuffer.size());
        reply.received = true;
        std::copy_n(RxBuffer.begin(), reply.length, reply.bytes.begin());
        return reply;
    }
    // One receive takes the reply as it arrived, usually whole; only a split reply needs more.
    if (!NetReceive())
        return reply;
    reply.received = true;
    reply.length = std::min(LastReceivedLength(), RxBuffer.size());
    std::copy_n(RxBuffer.begin(), reply.length, reply.bytes.begin());
    ReceiveMore(reply, expected);
    return reply;
}

bool ReceiveMore(Reply& reply, std::size_t total) {
    total = std::min(total, reply.bytes.size());
    while (reply.length < total) {
        if (!NetReceive(total - reply.length))
            return false;
        const std::size_t got = std::min(LastReceivedLength(), total - reply.length);
        std::copy_n(RxBuffer.begin(), got, reply.bytes.begin() + reply.length);
        reply.length += got;
    }
    return true;
}
