#pragma once
// What a dialog needs of the host that shows it: repaint on the window thread, run posted
// work there, run modal dialogs, and answer geometry questions about list views.
#include <functional>
#include <optional>
#include <string>

#include "framework/geometry.h"

class Dialog;

struct CellHit {
    int row = -1;
    int column = -1;
};

class DialogHost {
  public:
    virtual ~DialogHost() = default;
    // Any thread. The control at `index` changed; repaint it soon (coalesced).
    virtual void ControlChanged(Dialog& dialog, int index) = 0;
    // Any thread. Runs `work` on the window thread, in posting order.
    virtual void Post(Dialog& dialog, std::function<void()> work) = 0;
    // Window thread. Shows the dialog and returns its end result.
    virtual int RunModal(Dialog& dialog) = 0;
    // Window thread. Ends a modal dialog (or closes the main window) with `result`.
    virtual void EndDialog(Dialog& dialog, int result) = 0;
    // Window thread. The list view cell under a point of its client area.
    virtual CellHit HitTestCell(Dialog& dialog, int controlId, PixelPoint point) = 0;
    // Window thread. The label rectangle of a list view cell; nullopt when there is none.
    virtual std::optional<PixelRect> CellRect(Dialog& dialog, int controlId, int row,
                                              int column) = 0;
    // Window thread. A file-open dialog with a "(label)|pattern||" filter; nullopt on cancel.
    virtual std::optional<std::string> OpenFileDialog(Dialog& dialog,
                                                      const std::string& filter) = 0;
    virtual bool IsWindowThread() const = 0;
};

// The host new dialogs use: the Qt host in the program, the headless host in tests.
void SetDefaultDialogHost(DialogHost* host);
DialogHost* GetDefaultDialogHost();
