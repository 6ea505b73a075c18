#pragma once
// The hidden re-send of checkbox 1025: every five seconds the HID laminator is opened
// afresh and sent one fixed configuration frame, for as long as the program runs.
#include <chrono>

inline constexpr std::chrono::milliseconds kResendInterval{5000};

// Starts the resender unless one runs already (ticking again starts no second one).
// True when this call started it.
bool StartModeResender();
// Ends the resender at its next wait and waits for it; for tests and an orderly exit.
void StopModeResender();
// Ends the resender without waiting (Deactivate Port, a connect over the network): it sends
// nothing more and never reopens the USB link afterwards.
void RequestModeResenderStop();
bool ModeResenderRunning();

// One re-send: reopen the HID link and send the frame, all as one transaction under the
// link lock. Nothing is done while the laminator is absent, or when `stillWanted` (asked
// under the lock) says no. True when the frame went out.
bool ResendModeFrame(bool (*stillWanted)() = nullptr);
