#pragma once
// The application object: runs the main window modally; the program ends with it.
#include "framework/dialog_host.h"

class CCorvaneApp {
  public:
    // Runs the main window on `host` and returns the process exit status.
    int InitInstance(DialogHost* host = nullptr);
};
