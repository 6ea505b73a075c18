// pellacorctl: the window's twin on the command line, on the same engines.
#include <csignal>

#include "cli/cli_view.h"
#include "cli/ctl_app.h"
#include "cli/stderr_messages.h"
#include "framework/message_box.h"

static void OnInterrupt(int) {
    CliView::Interrupted().store(true);
}

int main(int argc, char** argv) {
    StderrMessageSink messages;
    SetMessageBoxSink(&messages);
    // Ctrl-C only asks: a transfer or write ends at a frame boundary and the link is closed.
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    const int exit = RunPellacorctl(argc, argv, messages);
    SetMessageBoxSink(nullptr);
    return exit;
}
