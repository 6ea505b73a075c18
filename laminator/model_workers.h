#pragma once
// The laminator's model name: read and written in a MODE bracket of its own, only while
// "Laminator info" is on screen. Each bracket holds the link from opening to closing.
#include "laminator/laminator_view.h"

// Both look at the Ethernet flag first, then the USB HID flag; with neither they do nothing.
// Both return 1.
int ModelReadWorker(LaminatorView* view);
int ModelWriteWorker(LaminatorView* view);
