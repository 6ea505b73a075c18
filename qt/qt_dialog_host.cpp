#include "qt/qt_dialog_host.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QEventLoop>
#include <QFileDialog>
#include <QKeyEvent>
#include <QScreen>
#include <QTableWidget>
#include <QThread>
#include <vector>

#include "framework/dialog.h"
#include "qt/accessible_names.h"
#include "qt/app_icon.h"
#include "qt/control_events.h"
#include "qt/control_text.h"
#include "qt/dialog_record.h"
#include "qt/dialog_window.h"
#include "qt/file_filter.h"
#include "qt/font_map.h"
#include "qt/state_applier.h"
#include "qt/widget_factory.h"
#include "qt/window_hooks.h"

// Sees every key press of the application: Escape and Return inside a dialog window go to
// the dialog's pre-translation first, as they would in its message loop.
class QtDialogHost::KeyFilter : public QObject {
  public:
    explicit KeyFilter(QtDialogHost& host) : m_host(host) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseButtonDblClick:
            case QEvent::Wheel:
            case QEvent::KeyRelease:
                m_host.RunAllPosted();
                return false;
            case QEvent::KeyPress:
                m_host.RunAllPosted();
                return m_host.OnKeyPress(watched, static_cast<QKeyEvent*>(event)->key());
            default:
                return false;
        }
    }

  private:
    QtDialogHost& m_host;
};

namespace {

QTableWidget* AsReportList(QWidget* w) {
    return qobject_cast<QTableWidget*>(w);
}

}  // namespace

QtDialogHost::QtDialogHost() {
    m_context = new QObject();
    m_keyFilter = new KeyFilter(*this);
    qApp->installEventFilter(m_keyFilter);
    QObject::connect(qApp, &QApplication::focusChanged, m_context,
                     [this](QWidget*, QWidget* now) { OnFocusChanged(now); });
}

QtDialogHost::~QtDialogHost() {
    std::vector<std::shared_ptr<DialogRecord>> records;
    {
        std::lock_guard lock(m_mutex);
        for (auto& [dialog, record] : m_records)
            records.push_back(record);
    }
    for (auto& record : records)
        Tear(record);
    if (qApp)
        qApp->removeEventFilter(m_keyFilter);
    delete m_keyFilter;
    delete m_context;
}

std::shared_ptr<DialogRecord> QtDialogHost::Find(const Dialog& dialog) const {
    std::lock_guard lock(m_mutex);
    auto it = m_records.find(&dialog);
    return it == m_records.end() ? nullptr : it->second;
}

void QtDialogHost::ControlChanged(Dialog& dialog, int index) {
    std::shared_ptr<DialogRecord> record;
    {
        std::lock_guard lock(m_mutex);
        auto it = m_records.find(&dialog);
        if (it == m_records.end())
            return;  // not shown yet: the window is built from the whole state
        record = it->second;
        record->dirty.insert(index);
        if (record->flushPending)
            return;
        record->flushPending = true;
    }
    std::weak_ptr<DialogRecord> weak = record;
    QMetaObject::invokeMethod(
        m_context,
        [this, weak] {
            if (auto r = weak.lock())
                Flush(*r);
        },
        Qt::QueuedConnection);
}

void QtDialogHost::Post(Dialog& dialog, std::function<void()> work) {
    // Work for a dialog whose window has gone is dropped, as messages to a destroyed window.
    std::weak_ptr<DialogRecord> weak = Find(dialog);
    const bool shown = !weak.expired();
    {
        std::lock_guard lock(m_mutex);
        m_posted.push_back([weak, shown, work = std::move(work)] {
            if (shown) {
                auto r = weak.lock();
                if (!r || r->closed)
                    return;
            }
            work();
        });
    }
    // One run per post; a run finds nothing when input has taken the work first.
    QMetaObject::invokeMethod(
        m_context, [this] { RunOnePosted(); }, Qt::QueuedConnection);
}

bool QtDialogHost::RunOnePosted() {
    std::function<void()> work;
    {
        std::lock_guard lock(m_mutex);
        if (m_posted.empty())
            return false;
        work = std::move(m_posted.front());
        m_posted.pop_front();
    }
    work();
    return true;
}

void QtDialogHost::RunAllPosted() {
    if (!IsWindowThread())
        return;
    while (RunOnePosted()) {
    }
}

std::shared_ptr<DialogRecord> QtDialogHost::Build(Dialog& dialog, bool modal) {
    const DialogTemplate& t = dialog.Template();
    auto record = std::make_shared<DialogRecord>();
    record->dialog = &dialog;
    record->modal = modal;

    // A modal dialog sits over the dialog window that opened it: the active one, else the
    // last one shown (a message box may be the active window).
    QWidget* owner = nullptr;
    if (modal) {
        owner = dynamic_cast<DialogWindow*>(QApplication::activeWindow());
        if (!owner) {
            std::lock_guard lock(m_mutex);
            unsigned long long newest = 0;
            for (auto& [d, r] : m_records) {
                if (r->window && r->window->isVisible() && r->order >= newest) {
                    newest = r->order;
                    owner = r->window;
                }
            }
        }
    }
    auto* window = new DialogWindow(owner, t.minimizeBox);
    record->window = window;
    window->setWindowTitle(ToQString(t.title));
    const QFont font = DialogFont(t.fontFace, t.fontPoints);
    window->setFont(font);
    record->units = BaseUnits::Of(font);
    window->setFixedSize(record->units.X(t.width), record->units.Y(t.height));
    const QIcon icon = IconForResource(dialog.IconResource());
    if (!icon.isNull())
        window->setWindowIcon(icon);
    if (owner) {
        // Window-modal over its owner: message boxes, which have no owner, stay usable.
        window->setWindowModality(Qt::WindowModal);
    }

    Dialog* d = &dialog;
    window->onCloseRequested = [d] {
        Event e;
        e.code = Notify::Command;
        e.id = IDCANCEL;
        d->Dispatch(e);
    };
    window->menuItems = [d] { return d->SystemMenuItems(); };
    window->onMenuCommand = [d](int command) {
        Event e;
        e.code = Notify::SysCommand;
        e.id = command;
        e.wParam = command;
        d->Dispatch(e);
    };

    {
        std::lock_guard lock(m_mutex);
        record->order = ++m_built;
        m_records[&dialog] = record;
    }
    const std::size_t count = dialog.ControlCount();
    record->widgets.resize(count);
    record->applied.resize(count);
    for (std::size_t i = 0; i < count; ++i)
        CreateWidget(*record, static_cast<int>(i), dialog.SnapshotAt(i));
    NameFieldsAfterLabels(record->applied, record->widgets);
    // Group boxes are frames behind the controls they enclose.
    for (std::size_t i = 0; i < count; ++i) {
        if (record->widgets[i] && record->applied[i] &&
            record->applied[i]->kind == ControlKind::GroupBox)
            record->widgets[i]->lower();
    }
    return record;
}

void QtDialogHost::CreateWidget(DialogRecord& record, int index, const ControlState& state) {
    const auto i = static_cast<std::size_t>(index);
    if (record.widgets.size() <= i) {
        record.widgets.resize(i + 1);
        record.applied.resize(i + 1);
    }
    if (state.destroyed)
        return;
    QWidget* widget = nullptr;
    if (state.parentIndex >= 0) {
        QWidget* parent = record.widgets[static_cast<std::size_t>(state.parentIndex)];
        if (auto* list = qobject_cast<QAbstractItemView*>(parent))
            parent = list->viewport();
        widget = CreateInPlaceWidget(state, parent ? parent : record.window.data());
    } else {
        widget = CreateControlWidget(state, record.window);
    }
    record.widgets[i] = widget;
    record.indexOf.insert(widget, index);
    ApplyControlState(widget, state, nullptr, record.units);
    record.applied[i] = state;
    ConnectControlEvents(*record.dialog, index, state.kind, widget);
}

void QtDialogHost::Flush(DialogRecord& record) {
    std::set<int> dirty;
    {
        std::lock_guard lock(m_mutex);
        dirty.swap(record.dirty);
        record.flushPending = false;
        if (record.closed || !record.window)
            return;
    }
    Dialog& dialog = *record.dialog;
    for (int index : dirty) {
        const auto i = static_cast<std::size_t>(index);
        if (i >= dialog.ControlCount())
            continue;
        const ControlState state = dialog.SnapshotAt(i);
        if (i >= record.widgets.size() || (!record.widgets[i] && !record.applied[i])) {
            CreateWidget(record, index, state);
            continue;
        }
        QWidget* widget = record.widgets[i];
        if (!widget)
            continue;
        if (state.destroyed) {
            record.indexOf.remove(widget);
            record.widgets[i] = nullptr;
            record.applied[i].reset();
            if (record.knownFocus == index)
                record.knownFocus = -1;
            widget->hide();
            widget->deleteLater();
            continue;
        }
        // An in-place editor hidden with the focus hands it to its list, not to the next
        // control in the chain (where the next arrow key would act).
        if (!state.visible && state.parentIndex >= 0 && widget->hasFocus()) {
            const auto parent = static_cast<std::size_t>(state.parentIndex);
            if (parent < record.widgets.size() && record.widgets[parent])
                record.widgets[parent]->setFocus(Qt::OtherFocusReason);
        }
        ApplyControlState(widget, state, record.applied[i] ? &*record.applied[i] : nullptr,
                          record.units);
        record.applied[i] = state;
    }
    // The program moved the focus: show it on the widget.
    const int focus = dialog.FocusIndex();
    if (focus != record.knownFocus) {
        record.knownFocus = focus;
        const auto f = static_cast<std::size_t>(focus);
        if (focus >= 0 && f < record.widgets.size() && record.widgets[f])
            record.widgets[f]->setFocus(Qt::OtherFocusReason);
    }
}

void QtDialogHost::FlushNow(Dialog& dialog) {
    if (auto record = Find(dialog))
        Flush(*record);
}

void QtDialogHost::SetInitialFocus(DialogRecord& record) {
    // With the focus left to the host, the first control that takes it gets it.
    for (std::size_t i = 0; i < record.widgets.size(); ++i) {
        QWidget* w = record.widgets[i];
        if (!w || !record.applied[i] || record.applied[i]->parentIndex >= 0)
            continue;
        if (!w->isEnabled() || !w->isVisibleTo(record.window) || !(w->focusPolicy() & Qt::TabFocus))
            continue;
        w->setFocus(Qt::OtherFocusReason);
        record.knownFocus = static_cast<int>(i);
        record.dialog->SetFocusIndex(static_cast<int>(i));
        return;
    }
}

QWidget* QtDialogHost::Show(Dialog& dialog) {
    if (auto existing = Find(dialog))
        return existing->window;
    auto record = Build(dialog, false);
    const bool defaultFocus = dialog.Initialize();
    Flush(*record);
    if (record->result)
        return record->window;  // ended in its initialisation
    RunWindowShownHook(*this, dialog, record->window);
    record->window->show();
    record->window->activateWindow();
    if (defaultFocus && dialog.FocusIndex() < 0)
        SetInitialFocus(*record);
    return record->window;
}

int QtDialogHost::RunModal(Dialog& dialog) {
    auto record = Build(dialog, true);
    const bool defaultFocus = dialog.Initialize();
    Flush(*record);
    if (!record->result) {
        DialogWindow* window = record->window;
        if (QWidget* owner = window->parentWidget()) {
            QRect r = window->frameGeometry();
            r.moveCenter(owner->frameGeometry().center());
            window->move(r.topLeft());
        }
        RunWindowShownHook(*this, dialog, window);
        window->show();
        window->activateWindow();
        if (defaultFocus && dialog.FocusIndex() < 0)
            SetInitialFocus(*record);
        QEventLoop loop;
        record->loop = &loop;
        if (!record->result)
            loop.exec();
        record->loop = nullptr;
    }
    const int result = record->result.value_or(IDCANCEL);
    Tear(record);
    return result;
}

void QtDialogHost::EndDialog(Dialog& dialog, int result) {
    auto record = Find(dialog);
    if (!record)
        return;
    record->result = result;
    if (record->window) {
        record->window->ended = true;
        record->window->hide();
    }
    if (record->loop)
        record->loop->quit();
}

void QtDialogHost::Close(Dialog& dialog) {
    if (auto record = Find(dialog))
        Tear(record);
}

void QtDialogHost::Tear(const std::shared_ptr<DialogRecord>& record) {
    {
        std::lock_guard lock(m_mutex);
        record->closed = true;
        m_records.erase(record->dialog);
    }
    record->indexOf.clear();
    if (record->window) {
        record->window->ended = true;
        // Nothing of the window may call into the dialog once it is gone.
        delete record->window.data();
    }
    record->widgets.clear();
}

QWidget* QtDialogHost::Window(Dialog& dialog) const {
    auto record = Find(dialog);
    return record ? record->window.data() : nullptr;
}

QWidget* QtDialogHost::Widget(Dialog& dialog, int index) const {
    auto record = Find(dialog);
    if (!record || index < 0 || static_cast<std::size_t>(index) >= record->widgets.size())
        return nullptr;
    return record->widgets[static_cast<std::size_t>(index)];
}

QWidget* QtDialogHost::WidgetById(Dialog& dialog, int id) const {
    Control* c = dialog.Find(id);
    return c ? Widget(dialog, c->Index()) : nullptr;
}

std::optional<int> QtDialogHost::EndResult(Dialog& dialog) const {
    auto record = Find(dialog);
    return record ? record->result : std::nullopt;
}

BaseUnits QtDialogHost::Units(Dialog& dialog) const {
    auto record = Find(dialog);
    return record ? record->units : BaseUnits();
}

CellHit QtDialogHost::HitTestCell(Dialog& dialog, int controlId, PixelPoint point) {
    QTableWidget* list = AsReportList(WidgetById(dialog, controlId));
    if (!list)
        return {};
    const QModelIndex at = list->indexAt(QPoint(point.x, point.y));
    if (!at.isValid())
        return {};
    return CellHit{at.row(), at.column()};
}

std::optional<PixelRect> QtDialogHost::CellRect(Dialog& dialog, int controlId, int row,
                                                int column) {
    QTableWidget* list = AsReportList(WidgetById(dialog, controlId));
    if (!list || row < 0 || row >= list->rowCount() || column < 0 || column >= list->columnCount())
        return std::nullopt;
    const QRect r = list->visualRect(list->model()->index(row, column));
    if (r.isEmpty())
        return std::nullopt;
    return PixelRect{r.left(), r.top(), r.width(), r.height()};
}

std::optional<std::string> QtDialogHost::OpenFileDialog(Dialog& dialog, const std::string& filter) {
    const QString chosen =
        QFileDialog::getOpenFileName(Window(dialog), QString(), QString(), ToQtFileFilter(filter));
    if (chosen.isEmpty())
        return std::nullopt;
    return ToStdString(chosen);
}

bool QtDialogHost::IsWindowThread() const {
    return qApp && QThread::currentThread() == qApp->thread();
}

void QtDialogHost::OnFocusChanged(QWidget* now) {
    std::vector<std::shared_ptr<DialogRecord>> records;
    {
        std::lock_guard lock(m_mutex);
        for (auto& [dialog, record] : m_records)
            records.push_back(record);
    }
    for (auto& record : records) {
        if (record->closed)
            continue;
        int index = -1;
        for (QWidget* w = now; w && index < 0; w = w->parentWidget()) {
            index = record->indexOf.value(w, -1);
            if (w == record->window)
                break;
        }
        record->knownFocus = index;
        // The dialog that lost the focus to another window sees its control lose it too.
        if (index >= 0 || record->dialog->FocusIndex() >= 0)
            record->dialog->SetFocusIndex(index);
    }
}

bool QtDialogHost::OnKeyPress(QObject* receiver, int qtKey) {
    Key key = Key::Other;
    if (qtKey == Qt::Key_Escape)
        key = Key::Escape;
    else if (qtKey == Qt::Key_Return || qtKey == Qt::Key_Enter)
        key = Key::Return;
    if (key == Key::Other || !receiver->isWidgetType())
        return false;
    auto* widget = static_cast<QWidget*>(receiver);
    // A key travels up from the focus widget to its parents; take it once, where it starts.
    QWidget* focus = QApplication::focusWidget();
    if (focus ? widget != focus : !widget->isWindow())
        return false;
    std::shared_ptr<DialogRecord> record;
    {
        std::lock_guard lock(m_mutex);
        for (auto& [dialog, r] : m_records) {
            if (r->window && widget->window() == r->window)
                record = r;
        }
    }
    if (!record || record->closed)
        return false;
    KeyEvent k;
    k.key = key;
    k.focusId = record->dialog->FocusedId();
    return record->dialog->HandleKeyDown(k);
}
