#pragma once
// Reset Default: the laminator's parameters back to their factory values, in one
// transmission inside the MODE bracket; no reply is read.
#include "framework/worker.h"
#include "laminator/laminator_view.h"
#include "laminator/link_exchange.h"

inline constexpr const char* kResetCommand = "1d1a1b1c1d4d4f4445011d02401d1a1b1c1d4d4f444502";
// How long a reset waits for a poller, asked to stop, to finish its cycle.
inline constexpr std::chrono::seconds kPollerFinishTimeout{10};

struct ResetOutcome {
    bool sent = false;      // the frame went out whole
    bool reopened = false;  // USB: the HID laminator was opened again afterwards
};

// Sends the reset frame, after `finishingPoller` (a poller asked to stop) has ended, as one
// transaction: over USB the link is then closed and the HID device opened again. No reply
// is read: that the laminator took the reset is for the caller to confirm.
ResetOutcome ResetLaminator(LinkKind link, const WorkerHandle& finishingPoller);

// Worker procedures. USB: Activate Port is enabled again once the device was reopened.
int UsbResetWorker(LaminatorView* view, WorkerHandle finishingPoller);
int NetResetWorker(LaminatorView* view, WorkerHandle finishingPoller);
