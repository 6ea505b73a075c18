#pragma once
// The status pollers: every two seconds the laminator's temperatures, state, error or
// warning and (over USB) card-channel sensors, shown in the window's status boxes.
#include "laminator/laminator_view.h"
#include "laminator/link_exchange.h"
#include "laminator/poll_control.h"

inline constexpr std::chrono::milliseconds kPollInterval{2000};

int UsbStatusPoller(LaminatorView* view, PollerToken& token);
int NetStatusPoller(LaminatorView* view, PollerToken& token);

// One reading on the calling thread, into the same status boxes: the command line's status.
// False when the laminator did not answer the status query.
bool ReadStatusOnce(LaminatorView& view, LinkKind link);
