#pragma once
// Writes the values of the group on screen, as the list shows them, to the laminator.
// Nothing is read back: the list keeps the edited texts until the next read.
#include <set>

#include "laminator/laminator_view.h"
#include "laminator/link_exchange.h"

// Worker procedures: the USB HID and the Ethernet variant. Both return 1.
int UsbParameterWriter(LaminatorView* view);
int NetParameterWriter(LaminatorView* view);

// On the calling thread: only the blocks of the group on screen that hold one of `rows`
// (the serial number and model ID each only when its own row is among them), so values the
// technician did not change are not sent again.
void WriteParameterRows(LaminatorView& view, LinkKind link, const std::set<int>& rows);
