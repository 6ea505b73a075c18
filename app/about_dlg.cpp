#include "app/about_dlg.h"

#include "app/resources.h"

CAboutDlg::CAboutDlg(DialogHost* host) : Dialog(AboutDialogTemplate(), host) {
    SetIconResource(kAppIconResource);
}
