// pellacorctl: the window's twin on the command line, on the same engines.
#include "cli/cli_view.h"
#include "cli/ctl_app.h"
#include "cli/stderr_messages.h"
#include "framework/message_box.h"
#include "platform/process.h"

static void OnInterrupt() {
    CliView::Interrupted().store(true);
}

int main(int argc, char** argv) {
    StderrMessageSink messages;
    SetMessageBoxSink(&messages);
    // Ctrl-C only asks: a transfer or write ends at a frame boundary and the link is closed.
    platform::OnStopRequest(OnInterrupt);
    // Files written from standard output (reports, backups) are the same bytes on Windows.
    platform::BinaryStandardOutput();
    const int exit = RunPellacorctl(argc, argv, messages);
    SetMessageBoxSink(nullptr);
    return exit;
}
