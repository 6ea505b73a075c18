#pragma once
// A Qt host with the every-kind dialog shown modelessly, taken down after each test.
#include <gtest/gtest.h>

#include <QApplication>
#include <QWidget>

#include "qt/qt_dialog_host.h"
#include "qt_test_support.h"

namespace qthost_test {

class QtHostTest : public ::testing::Test {
  protected:
    void SetUp() override {
        App();
        host = std::make_unique<QtDialogHost>();
        dialog = std::make_unique<RecordingDialog>(host.get());
    }
    void TearDown() override {
        if (dialog)
            host->Close(*dialog);
        dialog.reset();
        host.reset();
        QApplication::processEvents();
    }
    // Shows the dialog and waits until its window is active, so focus works.
    QWidget* ShowActive() {
        QWidget* window = host->Show(*dialog);
        window->activateWindow();
        PumpUntil([window] { return QApplication::activeWindow() == window; });
        return window;
    }
    template <class W = QWidget>
    W* WidgetOf(int id) {
        return qobject_cast<W*>(host->WidgetById(*dialog, id));
    }
    int IndexOf(int id) { return dialog->Item(id).Index(); }
    void Flush() {
        QApplication::processEvents();
        QApplication::processEvents();
    }

    std::unique_ptr<QtDialogHost> host;
    std::unique_ptr<RecordingDialog> dialog;
};

}  // namespace qthost_test
