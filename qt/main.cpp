// The program: the main window in a real Qt window, against a laminator on USB or TCP, or
// against the built-in simulated laminator with --demo.
#include <QApplication>
#include <QTimer>
#include <cstdio>

#include "app/corvane_app.h"
#include "app/corvane_dlg.h"
#include "app/link_setup.h"
#include "app/program_options.h"
#include "framework/message_box.h"
#include "framework/worker.h"
#include "laminator/mode_resender.h"
#include "laminator/poll_control.h"
#include "link/frame_trace.h"
#include "platform/process.h"
#include "qt/app_icon.h"
#include "qt/qt_dialog_host.h"
#include "qt/qt_message_box_sink.h"
#include "qt/screenshot.h"
#include "qt/status_history_menu.h"
#include "qt/window_hooks.h"

int main(int argc, char** argv) {
    platform::IgnoreBrokenPipes();  // a laminator that drops the connection is a message
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string error;
    const std::optional<ProgramOptions> options = ParseProgramOptions(args, error);
    if (!options) {
        std::fprintf(stderr, "pellacor: %s\n%s", error.c_str(), ProgramUsage().c_str());
        return 2;
    }
    if (options->help) {
        std::fputs(ProgramUsage().c_str(), stdout);
        return 0;
    }
    if (options->version) {
        std::printf("pellacor %s\n", PELLACOR_VERSION);
        return 0;
    }
    if (!options->trace.empty() && !EnableFrameTrace(options->trace, error)) {
        std::fprintf(stderr, "pellacor: %s\n", error.c_str());
        return 2;
    }
    if (!options->screenshot.empty() && !qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication app(argc, argv);
    SetApplicationIdentity();
    QtDialogHost host;
    QtMessageBoxSink messageBoxes;
    SetDefaultDialogHost(&host);
    SetMessageBoxSink(&messageBoxes);

    std::unique_ptr<DemoLaminator> demo = SetUpLinks(*options, error);
    if (options->demo && !demo) {
        std::fprintf(stderr, "pellacor: the simulated laminator did not start: %s\n",
                     error.c_str());
        return 1;
    }
    if (demo)
        std::printf("pellacor: demo laminator\n%s\n", demo->Describe().c_str());

    int status = 0;
    if (!options->screenshot.empty()) {
        CCorvaneDlg dlg(&host);
        QWidget* window = host.Show(dlg);
        QApplication::processEvents();
        host.FlushNow(dlg);
        status = SaveWindowPng(window, options->screenshot) ? 0 : 1;
        if (status)
            std::fprintf(stderr, "pellacor: cannot write %s\n", options->screenshot.c_str());
        host.Close(dlg);
        SetMessageBoxSink(nullptr);
        SetDefaultDialogHost(nullptr);
        return status;
    }
    SetWindowShownHook([](QtDialogHost& h, Dialog& dialog, QWidget* window) {
        if (dynamic_cast<CCorvaneDlg*>(&dialog))
            AddStatusHistoryMenu(h, dialog, window);
    });
    CCorvaneApp theApp;
    status = theApp.InitInstance(&host);
    // The window has closed. Workers are not waited for beyond a moment (a write may be
    // finishing its last block), and the process ends without destroying what they use.
    StopStatusPoller();
    StopModeResender();  // it never ends by itself
    WaitForAllWorkers(std::chrono::seconds(2));
    demo.reset();
    platform::QuickExit(status);  // flushes the C streams
}
