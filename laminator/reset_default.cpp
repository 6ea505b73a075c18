#include "laminator/reset_default.h"

#include <string>

#include "link/ethernet_link.h"
#include "link/link_buffers.h"
#include "link/usb_link.h"

bool ResetLaminator(LinkKind link, const WorkerHandle& finishingPoller) {
    // The poller checks its stop under the link lock before each exchange, so after this
    // wait (or its time-out) it can put no frame next to the reset.
    if (finishingPoller && !finishingPoller->IsCurrentThread())
        finishingPoller->Join(kPollerFinishTimeout);
    LinkTransaction transaction;
    if (link == LinkKind::Ethernet) {
        EncodeCommand(kResetCommand);  // the 23 bytes alone
        return NetSend() > 0;
    }
    EncodeCommand(std::string("a53e") + kResetCommand);
    TxLength = 64;
    UsbWrite();
    CloseUsbLink();
    return OpenHidLink() != 0;
}

int UsbResetWorker(LaminatorView* view, WorkerHandle finishingPoller) {
    if (ResetLaminator(LinkKind::Usb, finishingPoller))
        view->EnableButton(kIdActivatePort, true);
    return 1;
}

int NetResetWorker(LaminatorView*, WorkerHandle finishingPoller) {
    ResetLaminator(LinkKind::Ethernet, finishingPoller);
    return 1;
}
