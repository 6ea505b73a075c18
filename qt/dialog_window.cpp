#include "qt/dialog_window.h"

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QMenu>

#include "qt/control_text.h"

DialogWindow::DialogWindow(QWidget* owner, bool minimizeBox) : QWidget(owner, Qt::Window) {
    Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                            Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (minimizeBox)
        flags |= Qt::WindowMinimizeButtonHint;
    setWindowFlags(flags);
}

void DialogWindow::closeEvent(QCloseEvent* event) {
    if (ended) {
        event->accept();
        return;
    }
    event->ignore();
    if (onCloseRequested)
        onCloseRequested();
}

QMenu* DialogWindow::CreateContextMenu() {
    const auto items = menuItems ? menuItems() : std::vector<std::pair<int, std::string>>{};
    if (items.empty())
        return nullptr;
    auto* menu = new QMenu(this);
    for (const auto& [id, text] : items) {
        if (text.empty()) {
            menu->addSeparator();
            continue;
        }
        QAction* action = menu->addAction(ToQString(text));
        const int command = id;
        connect(action, &QAction::triggered, this, [this, command] {
            if (onMenuCommand)
                onMenuCommand(command);
        });
    }
    return menu;
}

void DialogWindow::contextMenuEvent(QContextMenuEvent* event) {
    QMenu* menu = CreateContextMenu();
    if (!menu) {
        event->ignore();
        return;
    }
    menu->exec(event->globalPos());
    menu->deleteLater();
}
