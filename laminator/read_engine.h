#pragma once
// Reads the group on screen from the laminator into the store and the list. One run reads
// the group CurrentGroup names, compared anew before each group's block.
#include <mutex>

#include "laminator/laminator_view.h"

// Held by every read run for its whole length, so two runs never overlap.
extern std::mutex ReadLock;

// Worker procedures: the USB HID and the Ethernet variant. Both return 1.
int UsbParameterReader(LaminatorView* view);
int NetParameterReader(LaminatorView* view);
// The printing-class path of a group selection: one command of the group, one reply that is
// not decoded. Changes nothing and takes no lock. Returns 1.
int GroupPing(LaminatorView* view);
