#include "qt/control_events.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>

#include "framework/dialog.h"
#include "qt/control_text.h"
#include "qt/ip_address_edit.h"

namespace {

long Send(Dialog& dialog, int index, Notify code, int item = -1, PixelPoint point = {}) {
    Event e;
    e.code = code;
    // Read the id now: an in-place child may have been renumbered since it was made.
    e.id = dialog.At(static_cast<std::size_t>(index)).Id();
    e.source = index;
    e.item = item;
    e.point = point;
    return dialog.Dispatch(e);
}

void ConnectScrollBars(Dialog& dialog, int index, QAbstractScrollArea* area) {
    // actionTriggered comes only from the user's use of the bar, before it moves.
    for (QScrollBar* bar : {area->verticalScrollBar(), area->horizontalScrollBar()}) {
        QObject::connect(bar, &QScrollBar::actionTriggered, area,
                         [&dialog, index](int) { Send(dialog, index, Notify::Scroll); });
    }
}

// A report list's mouse and header input.
class ReportListInput : public QObject {
  public:
    ReportListInput(Dialog& dialog, int index, QTableWidget* list)
        : QObject(list),
          m_dialog(dialog),
          m_index(index),
          m_list(list),
          m_viewport(list->viewport()),
          m_headerViewport(list->horizontalHeader()->viewport()) {
        m_viewport->installEventFilter(this);
        m_headerViewport->installEventFilter(this);
        connect(list->horizontalHeader(), &QHeaderView::sectionResized, this,
                [this] { SectionResized(); });
    }

  protected:
    // Compared by the pointers kept at the start: the list may be half destroyed when its
    // viewports send their last events.
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == m_viewport)
            return ViewportEvent(event);
        if (watched == m_headerViewport)
            HeaderEvent(event);
        return false;
    }

  private:
    int RowAt(const QPoint& pos) const {
        const int row = m_list->rowAt(pos.y());
        return row < m_list->rowCount() ? row : -1;
    }

    bool ViewportEvent(QEvent* event) {
        switch (event->type()) {
            case QEvent::MouseButtonPress:
                m_afterDoubleClick = false;
                return false;
            case QEvent::MouseButtonRelease: {
                auto* mouse = static_cast<QMouseEvent*>(event);
                if (mouse->button() == Qt::LeftButton && !m_afterDoubleClick)
                    Send(m_dialog, m_index, Notify::Click, RowAt(mouse->position().toPoint()));
                m_afterDoubleClick = false;
                return false;
            }
            case QEvent::MouseButtonDblClick: {
                auto* mouse = static_cast<QMouseEvent*>(event);
                if (mouse->button() != Qt::LeftButton)
                    return false;
                m_afterDoubleClick = true;
                const QPoint pos = mouse->position().toPoint();
                Send(m_dialog, m_index, Notify::DblClick, RowAt(pos), PixelPoint{pos.x(), pos.y()});
                // The program's editors answer double-clicks; the view's own must not.
                return true;
            }
            default:
                return false;
        }
    }

    void HeaderEvent(QEvent* event) {
        if (event->type() == QEvent::MouseButtonPress) {
            m_headerPressed = true;
            m_trackSent = false;
        } else if (event->type() == QEvent::MouseButtonRelease) {
            m_headerPressed = false;
        }
    }

    // A divider drag shows as the first resize while the header is pressed.
    void SectionResized() {
        if (!m_headerPressed || m_trackSent)
            return;
        m_trackSent = true;
        Send(m_dialog, m_index, Notify::BeginTrack);
    }

    Dialog& m_dialog;
    int m_index;
    QTableWidget* m_list;
    QObject* m_viewport;
    QObject* m_headerViewport;
    bool m_afterDoubleClick = false;
    bool m_headerPressed = false;
    bool m_trackSent = false;
};

// A list box reports every choice by the user, also a click on the row already chosen.
class ListBoxInput : public QObject {
  public:
    ListBoxInput(Dialog& dialog, int index, QListWidget* list)
        : QObject(list), m_dialog(dialog), m_index(index) {
        list->viewport()->installEventFilter(this);
        connect(list, &QListWidget::currentRowChanged, this, [this](int row) {
            m_chosenInThisPress = true;
            Choose(row);
        });
        connect(list, &QListWidget::itemPressed, this, [this, list](QListWidgetItem* item) {
            if (!m_chosenInThisPress && item)
                Choose(list->row(item));
            m_chosenInThisPress = false;
        });
    }

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        switch (event->type()) {
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseButtonDblClick:
                // Only the left button chooses a group; the right one opens the context menu,
                // which comes as an event of its own.
                if (static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton)
                    return true;
                if (event->type() == QEvent::MouseButtonPress)
                    m_chosenInThisPress = false;
                return false;
            default:
                return false;
        }
    }

  private:
    void Choose(int row) {
        if (row < 0)
            return;
        m_dialog.At(static_cast<std::size_t>(m_index)).SetSelection(row);
        Send(m_dialog, m_index, Notify::SelChange, row);
    }

    Dialog& m_dialog;
    int m_index;
    bool m_chosenInThisPress = false;
};

void ConnectEdit(Dialog& dialog, int index, QWidget* widget) {
    Control& control = dialog.At(static_cast<std::size_t>(index));
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        QObject::connect(edit, &QLineEdit::textEdited, edit,
                         [&dialog, &control, index](const QString& text) {
                             control.SetText(ToStdString(text));
                             Send(dialog, index, Notify::EditChange);
                         });
    } else if (auto* multi = qobject_cast<QPlainTextEdit*>(widget)) {
        // Program changes are applied with signals blocked, so this is the user typing.
        QObject::connect(multi, &QPlainTextEdit::textChanged, multi,
                         [&dialog, &control, index, multi] {
                             control.SetText(FromDisplayLines(multi->toPlainText()));
                             Send(dialog, index, Notify::EditChange);
                         });
        ConnectScrollBars(dialog, index, multi);
    }
}

void ConnectCombo(Dialog& dialog, int index, QComboBox* combo) {
    Control& control = dialog.At(static_cast<std::size_t>(index));
    QObject::connect(combo, &QComboBox::activated, combo, [&dialog, &control, index](int row) {
        control.SetSelection(row);
        Send(dialog, index, Notify::SelChange, row);
    });
    if (QLineEdit* edit = combo->lineEdit()) {
        QObject::connect(edit, &QLineEdit::textEdited, combo,
                         [&dialog, &control, index](const QString& text) {
                             control.SetText(ToStdString(text));
                             Send(dialog, index, Notify::EditChange);
                         });
    }
}

}  // namespace

void ConnectControlEvents(Dialog& dialog, int index, ControlKind kind, QWidget* widget) {
    Control& control = dialog.At(static_cast<std::size_t>(index));
    switch (kind) {
        case ControlKind::PushButton:
        case ControlKind::DefaultPushButton:
            if (auto* button = qobject_cast<QPushButton*>(widget)) {
                QObject::connect(button, &QPushButton::clicked, button,
                                 [&dialog, index] { Send(dialog, index, Notify::Clicked); });
            }
            break;
        case ControlKind::CheckBox:
            if (auto* check = qobject_cast<QCheckBox*>(widget)) {
                QObject::connect(check, &QCheckBox::clicked, check,
                                 [&dialog, &control, index](bool checked) {
                                     control.SetCheck(checked ? 1 : 0);
                                     Send(dialog, index, Notify::Clicked);
                                 });
            }
            break;
        case ControlKind::Edit:
            ConnectEdit(dialog, index, widget);
            break;
        case ControlKind::ListBox:
            if (auto* list = qobject_cast<QListWidget*>(widget)) {
                new ListBoxInput(dialog, index, list);
                ConnectScrollBars(dialog, index, list);
            }
            break;
        case ControlKind::ListView:
            if (auto* list = qobject_cast<QTableWidget*>(widget)) {
                new ReportListInput(dialog, index, list);
                ConnectScrollBars(dialog, index, list);
                QObject::connect(
                    list, &QTableWidget::itemSelectionChanged, list,
                    [&dialog, &control, index, list] {
                        // The program finds the chosen row as the selected one.
                        const auto chosen = list->selectionModel()->selectedRows();
                        control.SetSelection(chosen.isEmpty() ? -1 : chosen.first().row());
                        Send(dialog, index, Notify::ItemChanged, list->currentRow());
                    });
            }
            break;
        case ControlKind::ComboBox:
            if (auto* combo = qobject_cast<QComboBox*>(widget))
                ConnectCombo(dialog, index, combo);
            break;
        case ControlKind::IpAddress:
            if (auto* ip = dynamic_cast<IpAddressEdit*>(widget)) {
                ip->onEdited = [&dialog, &control, index, ip] {
                    control.SetFields(ip->Fields());
                    Send(dialog, index, Notify::EditChange);
                };
            }
            break;
        case ControlKind::StaticText:
        case ControlKind::GroupBox:
        case ControlKind::ProgressBar:
            break;
    }
}
