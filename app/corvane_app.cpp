#include "app/corvane_app.h"

#include "app/corvane_dlg.h"

int CCorvaneApp::InitInstance(DialogHost* host) {
    CCorvaneDlg dlg(host);
    (void)dlg.DoModal();  // the dialog's result is not used
    return 0;
}
