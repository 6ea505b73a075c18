#include "laminator/laminate_menu_sender.h"

#include <mutex>

#include "laminator/encodings.h"
#include "laminator/link_exchange.h"
#include "laminator/read_engine.h"
#include "link/ethernet_link.h"
#include "link/link_flags.h"

namespace {
std::mutex g_menuMutex;
std::string g_selectedMenu;

void SendMenu(LinkKind link) {
    LinkTransaction transaction;
    EncodeFrame(link, "1c77500220000000");
    PutTag(link, 23, "LM");
    PutByte(link, 25, *EncodeChoice(ParamKey::LaminateMenu, SelectedLaminateMenu()));
    // The reply is read even after a failed send, with the link's own messages.
    SendFrame(link);
    if (link == LinkKind::Usb) {
        ReceiveReply(link, 0);
    } else {
        NetReceive();
    }
}
}  // namespace

void SetSelectedLaminateMenu(const std::string& menu) {
    std::lock_guard lock(g_menuMutex);
    g_selectedMenu = menu;
}

std::string SelectedLaminateMenu() {
    std::lock_guard lock(g_menuMutex);
    return g_selectedMenu;
}

int SendLaminateMenu(LaminatorView* view) {
    if (EthernetLinkActive) {
        SendMenu(LinkKind::Ethernet);
        NetParameterReader(view);
        return 1;
    }
    if (view->IsButtonEnabled(kIdActivatePort))
        return 1;  // no USB port open
    SendMenu(LinkKind::Usb);
    UsbParameterReader(view);
    return 1;
}
