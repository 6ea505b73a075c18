#pragma once
// The one way a connect is called off, for the device list's Disconnect and the main
// window's Ethernet box alike.
#include "framework/worker.h"

// Cancels the Ethernet connect that `connector` makes, again and again until `connector`
// has ended, so a connect that had not yet begun at the click cannot slip past the cancel.
// Blocks: call it on a worker. Returns at once for a null or ended worker.
void CancelConnectUntilEnded(const WorkerHandle& connector);
