#pragma once
// Writes the values of the group on screen, as the list shows them, to the laminator.
// Nothing is read back: the list keeps the edited texts until the next read.
#include "laminator/laminator_view.h"

// Worker procedures: the USB HID and the Ethernet variant. Both return 1.
int UsbParameterWriter(LaminatorView* view);
int NetParameterWriter(LaminatorView* view);
