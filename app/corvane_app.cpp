#include "app/corvane_app.h"

#include "app/corvane_dlg.h"

int CCorvaneApp::InitInstance(DialogHost* host) {
    // Lives to the end of the process: workers still running when the window closes keep
    // using it while the program ends.
    auto* dlg = new CCorvaneDlg(host);
    (void)dlg->DoModal();  // the dialog's result is not used
    return 0;
}
