#include "laminator/mode_commands.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "link/command_text.h"
#include "link/ethernet_link.h"
#include "link/link_buffers.h"
#include "link/usb_link.h"

namespace {
constexpr std::string_view kModeCommands[] = {
    "1C 77 80 00 08 00 00 00 00 00 00 00 00 00 00 00",
    "1C 77 80 00 08 00 00 00 01 00 00 00 00 00 00 00",
    "1C 77 80 00 08 00 00 00 02 00 00 00 00 00 00 00",
};
constexpr std::size_t kFrameBytes = 64;

// False at the first frame that did not go out.
bool SendUsbFrames(const std::uint8_t* bytes, std::size_t n) {
    for (const UsbCommandFrame& frame : UsbCommandFrames(bytes, n)) {
        std::copy(frame.begin(), frame.end(), TxBuffer.begin());
        TxLength = static_cast<std::int32_t>(kFrameBytes);
        if (UsbWrite() <= 0)
            return false;
    }
    return true;
}
}  // namespace

std::vector<UsbCommandFrame> UsbCommandFrames(const std::uint8_t* bytes, std::size_t n) {
    std::vector<UsbCommandFrame> frames;
    std::size_t at = 0;
    do {
        const std::size_t count = std::min(n - at, kUsbFrameData);
        UsbCommandFrame& frame = frames.emplace_back();
        frame[0] = 0xA5;
        frame[1] = static_cast<std::uint8_t>(count);
        std::copy_n(bytes + at, count, frame.begin() + 2);
        at += count;
    } while (at < n);  // a full frame says 3E; the command goes on only when bytes are left
    return frames;
}

ParsedCommand ParseTypedCommand(std::string_view text) {
    ParsedCommand command;
    std::array<std::uint8_t, kRawCommandCapacity> bytes{};
    const int n = HexPairsToBytes(text, bytes.data(), bytes.size());
    if (n == kBadCommandCharacter)
        command.error = kRawCommandBadCharacter;
    else if (n < 0)
        command.error = kRawCommandTooLong;
    else
        command.bytes.assign(bytes.begin(), bytes.begin() + n);
    return command;
}

std::optional<std::string_view> ModeCommandText(int index) {
    if (index < 0 || index >= static_cast<int>(std::size(kModeCommands)))
        return std::nullopt;
    return kModeCommands[index];
}

bool SwitchMode(LinkKind link, int index) {
    const std::optional<std::string_view> command = ModeCommandText(index);
    if (!command)
        return false;
    bool switched = false;
    {
        LinkTransaction transaction;
        std::string text = "a53e";
        text += *command;
        EncodeCommand(text);
        TxLength = static_cast<std::int32_t>(kFrameBytes);
        if (link == LinkKind::Usb) {
            const bool sent = UsbWrite() > 0;
            switched = ReadUsbReply() && sent;
        } else {
            const bool sent = NetSend() > 0;
            switched = NetReceive() && sent;
        }
    }
    if (switched && link == LinkKind::Usb)
        ReportLinkMessage(kModeSwitchSuccessful);
    return switched;
}

bool SendRawCommand(LinkKind link, std::string_view text, std::vector<std::uint8_t>* reply) {
    const ParsedCommand typed = ParseTypedCommand(text);
    if (typed.error) {
        ReportLinkMessage(typed.error);
        return false;
    }
    const std::vector<std::uint8_t>& bytes = typed.bytes;
    const std::size_t count = bytes.size();
    LinkTransaction transaction;
    bool sent = false;
    if (link == LinkKind::Usb) {
        // Nothing typed still waits for one reply, as the laminator may have one pending.
        sent = (count == 0 || SendUsbFrames(bytes.data(), count)) && count > 0;
    } else {
        if (count == 0)
            return false;  // nothing to send and nothing asked: no reply to wait for
        TxBuffer.fill(0);
        std::copy_n(bytes.begin(), count, TxBuffer.begin());
        TxLength = static_cast<std::int32_t>(count);
        sent = NetSend() > 0;
    }
    const Reply received = ReceiveReply(link, 0);
    if (reply != nullptr)
        reply->assign(received.bytes.begin(),
                      received.bytes.begin() + static_cast<std::ptrdiff_t>(received.length));
    return sent;
}

int ModeSwitchWorker(LaminatorView* view) {
    const int index = view->SelectedMode();
    if (const std::optional<LinkKind> link = LinkInUse())
        SwitchMode(*link, index);
    return 1;
}

int RawCommandWorker(LaminatorView* view) {
    const std::string text = view->TypedCommand();
    if (const std::optional<LinkKind> link = LinkInUse())
        SendRawCommand(*link, text);
    return 1;
}
