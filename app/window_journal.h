#pragma once
// The window's operations as the service record keeps them. Each runs on the operation's
// worker thread: the engine does the work, the record gets what the screen said and "done"
// only where the laminator confirmed. Pushing a record never waits on the database.
#include <string>

#include "framework/worker.h"
#include "journal/journal_session.h"
#include "laminator/firmware_download.h"
#include "laminator/laminator_view.h"

enum class LinkKind;  // laminator/link_exchange.h

// Starts the window's service record. A journal that cannot be opened or written is told in
// one message box naming the file and the reason, shown off the writer's thread, and the
// window goes on without it.
void StartWindowJournal(const JournalSettings& settings, const std::string& version);

// "usb" for the HID port, "tcp:HOST:PORT" for the Ethernet link: the key the command line
// uses for the same link, so both join under one laminator.
std::string WindowLinkKey(bool ethernet);
std::string CurrentWindowLink();
// The laminator the Service record window shows: its serial once read, else the link.
std::string ServiceRecordSubject();

// Connects and disconnects; a connect also points the status readings at the link.
void RecordConnect(const std::string& link, bool connected);
void RecordDisconnect(const std::string& link);

using ViewProc = int (*)(LaminatorView*);
int RecordedRead(LaminatorView& view, ViewProc reader);
int RecordedWrite(LaminatorView& view, ViewProc writer);
int RecordedModelRead(LaminatorView& view);
int RecordedModelWrite(LaminatorView& view);
int RecordedModeSwitch(LaminatorView& view);
int RecordedRawSend(LaminatorView& view);
// USB: Activate Port is enabled again once the device was reopened.
int RecordedReset(LaminatorView& view, LinkKind link, const WorkerHandle& finishingPoller);
// `path` is the file Browse loaded; its digest is that of the bytes sent.
int RecordedDownload(LaminatorView& view, FirmwareRoute route, const std::string& path);
