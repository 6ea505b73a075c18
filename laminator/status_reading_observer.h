#pragma once
// Every status cycle's reading, wherever its history keeps it, is also told here: the
// service record listens so that readings outlive the process. Called on the poller's thread;
// an observer must return at once.
#include "laminator/status_history.h"

using StatusReadingObserver = void (*)(const StatusSample& sample);

// Null for none (the default).
void SetStatusReadingObserver(StatusReadingObserver observer);
void NotifyStatusReading(const StatusSample& sample);
