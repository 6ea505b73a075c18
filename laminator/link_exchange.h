#pragma once
// One request and its reply on the link in use, copied out of the shared buffers so the
// caller decodes after the link lock is released. Every function here expects the caller
// to hold a LinkTransaction for the whole exchange.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "link/link_buffers.h"

enum class LinkKind { Usb, Ethernet };

// Reply fields sit two bytes later in a USB frame than in an Ethernet reply.
inline constexpr std::size_t FieldBase(LinkKind link) {
    return link == LinkKind::Usb ? 2 : 0;
}

struct Reply {
    std::array<std::uint8_t, kLinkBufferSize> bytes{};
    std::size_t length = 0;  // bytes received
    std::size_t base = 0;    // where the reply block starts
    bool sent = false;
    bool received = false;

    // True when the field at reply-block `offset` lies wholly within the received bytes.
    bool Has(std::size_t offset, std::size_t width) const {
        return base + offset + width <= length;
    }
    const std::uint8_t* Field(std::size_t offset) const { return bytes.data() + base + offset; }
};

// Ethernet when its link is up, else USB HID when that link was opened, else none.
std::optional<LinkKind> LinkInUse();

// "a53e" in front over USB; the frame is always 64 bytes.
void EncodeFrame(LinkKind link, std::string_view command);
// Puts `value` at reply-block `offset` of the frame being built.
void PutByte(LinkKind link, std::size_t offset, std::uint8_t value);
void PutTag(LinkKind link, std::size_t offset, std::string_view letters);
// UsbWrite or NetSend of the frame; true when it went out.
bool SendFrame(LinkKind link);
// One reply into RxBuffer, copied out. USB: one frame, "Failed to receive data!" when none
// came; `command` names the request (its leading bytes), so a late reply to another request
// is told apart (UsbReadReplyTo). Ethernet: NetReceive, reassembling a split reply up to
// `expected` bytes.
Reply ReceiveReply(LinkKind link, std::size_t expected, std::span<const std::uint8_t> command = {});
// Ethernet: receives into `reply` until it holds `total` bytes; false when the rest did not
// come (NetReceive has told the user).
bool ReceiveMore(Reply& reply, std::size_t total);
