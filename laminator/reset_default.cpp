#include "laminator/reset_default.h"

#include <string>

#include "link/ethernet_link.h"
#include "link/link_buffers.h"
#include "link/usb_link.h"

ResetOutcome ResetLaminator(LinkKind link, const WorkerHandle& finishingPoller) {
    // The poller checks its stop under the link lock before each exchange, so after this
    // wait (or its time-out) it can put no frame next to the reset.
    if (finishingPoller && !finishingPoller->IsCurrentThread())
        finishingPoller->Join(kPollerFinishTimeout);
    LinkTransaction transaction;
    ResetOutcome outcome;
    if (link == LinkKind::Ethernet) {
        EncodeCommand(kResetCommand);  // the 23 bytes alone
        outcome.sent = NetSend() > 0;
        return outcome;
    }
    EncodeCommand(std::string("a53e") + kResetCommand);
    TxLength = 64;
    outcome.sent = UsbWrite() > 0;
    CloseUsbLink();
    outcome.reopened = OpenHidLink() != 0;
    return outcome;
}

int UsbResetWorker(LaminatorView* view, WorkerHandle finishingPoller) {
    if (ResetLaminator(LinkKind::Usb, finishingPoller).reopened)
        view->EnableButton(kIdActivatePort, true);
    return 1;
}

int NetResetWorker(LaminatorView*, WorkerHandle finishingPoller) {
    ResetLaminator(LinkKind::Ethernet, finishingPoller);
    return 1;
}
