#include "laminator/model_workers.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "laminator/encodings.h"
#include "laminator/link_exchange.h"
#include "laminator/param_store.h"
#include "laminator/reply_decoders.h"
#include "link/ethernet_link.h"
#include "link/link_flags.h"
#include "link/usb_link.h"

namespace {

constexpr std::string_view kOpen = "1d 1a 1b 1c 1d 4d 4f 44 45 01";
constexpr std::string_view kClose = "1D  1A   1B   1C  1D 4D 4F 44 45  02";
constexpr std::string_view kReadModel = "1D 03   03";
constexpr std::string_view kWriteModel = "1D 02  02 ";

void SendCommand(LinkKind link, std::string_view usbHeader, std::string_view command) {
    std::string text = link == LinkKind::Usb ? std::string(usbHeader) : std::string();
    text += command;
    EncodeCommand(text);
    TxLength = 64;
    if (link == LinkKind::Usb)
        UsbWrite();
    else
        NetSend();
}

// One receive, as for every other reply: a name shorter than the 62 bytes, unpadded, is
// what came, and the bytes that did not come read as zeros.
std::optional<std::string> ReceiveNetName() {
    const Reply reply = ReceiveReply(LinkKind::Ethernet, 0);
    if (!reply.received)
        return std::nullopt;
    return DecodeModelName(reply);
}

std::optional<std::string> ReceiveUsbName() {
    const Reply reply = ReceiveReply(LinkKind::Usb, 0);
    if (!reply.received)
        return std::nullopt;
    return DecodeModelName(reply);
}

}  // namespace

int ModelReadWorker(LaminatorView* view) {
    if (CurrentGroup() != kGroupLaminatorInfo || view->StopRequested())
        return 1;
    const std::optional<LinkKind> link = LinkInUse();
    if (!link)
        return 1;
    std::optional<std::string> name;
    {
        LinkTransaction transaction;
        SendCommand(*link, "a53e", kOpen);
        SendCommand(*link, "a53e", kReadModel);
        name = *link == LinkKind::Usb ? ReceiveUsbName() : ReceiveNetName();
        SendCommand(*link, "a50a", kClose);
    }
    // A failed read leaves the name the list shows.
    if (name) {
        Store().SetRead(ParamKey::LaminatorModel, *name);
        view->SetParamCell(std::string(kGroupLaminatorInfo),
                           Parameter(ParamKey::LaminatorModel).row, *name);
    }
    return 1;
}

int ModelWriteWorker(LaminatorView* view) {
    if (CurrentGroup() != kGroupLaminatorInfo)
        return 1;
    const std::string name = view->GetParamCell(Parameter(ParamKey::LaminatorModel).row);
    // An empty cell means the name was never read: writing it would erase the laminator's.
    if (name.empty())
        return 1;
    Store().Set(ParamKey::LaminatorModel, name);
    const std::optional<LinkKind> link = LinkInUse();
    if (!link)
        return 1;
    std::string command(kWriteModel);
    for (char c : name) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02x", static_cast<unsigned char>(c));
        command += pair;
    }
    LinkTransaction transaction;
    SendCommand(*link, "a536", kOpen);
    SendCommand(*link, "a536", command);
    SendCommand(*link, "a50a", kClose);
    return 1;
}
