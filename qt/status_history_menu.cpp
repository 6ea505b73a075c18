#include "qt/status_history_menu.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>

#include "laminator/laminator_view.h"
#include "qt/qt_dialog_host.h"
#include "qt/service_record_window.h"
#include "qt/status_history_window.h"

namespace {
constexpr const char* kFrameTitle = "Laminator info";

void AddEntry(QWidget* widget, QWidget* window) {
    widget->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(
        widget, &QWidget::customContextMenuRequested, widget, [widget, window](const QPoint& at) {
            auto* edit = qobject_cast<QLineEdit*>(widget);
            QMenu* menu = edit ? edit->createStandardContextMenu() : new QMenu(widget);
            if (edit)
                menu->addSeparator();
            QObject::connect(menu->addAction(QString::fromUtf8(kStatusHistoryMenuText)),
                             &QAction::triggered, window,
                             [window] { OpenStatusHistoryWindow(window); });
            QObject::connect(menu->addAction(QString::fromUtf8(kServiceRecordMenuText)),
                             &QAction::triggered, window,
                             [window] { OpenServiceRecordWindow(window); });
            menu->exec(widget->mapToGlobal(at));
            menu->deleteLater();
        });
}
}  // namespace

void AddStatusHistoryMenu(QtDialogHost& host, Dialog& dialog, QWidget* window) {
    for (int id : {kIdRollerTemperature, kIdEnvironmentTemperature, kIdStateBox, kIdErrorBox,
                   kIdCardChannelBox}) {
        if (QWidget* box = host.WidgetById(dialog, id))
            AddEntry(box, window);
    }
    for (QGroupBox* frame : window->findChildren<QGroupBox*>()) {
        if (frame->title() == QLatin1String(kFrameTitle))
            AddEntry(frame, window);
    }
}
