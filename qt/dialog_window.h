#pragma once
// The top-level window of one dialog: fixed size, a title bar with a minimise box and no
// maximise box, and the dialog's system-menu items in its context menu.
#include <QWidget>
#include <functional>
#include <string>
#include <utility>
#include <vector>

class QMenu;

class DialogWindow : public QWidget {
  public:
    DialogWindow(QWidget* owner, bool minimizeBox);

    // Closing from the title bar asks the dialog (it ends itself with IDCANCEL); only a
    // window whose dialog has ended really closes.
    std::function<void()> onCloseRequested;
    bool ended = false;

    // Items for the context menu: (command id, text); an empty text is a separator.
    std::function<std::vector<std::pair<int, std::string>>()> menuItems;
    std::function<void(int commandId)> onMenuCommand;
    // The context menu; each action dispatches its command when triggered. Null with no items.
    QMenu* CreateContextMenu();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
};
