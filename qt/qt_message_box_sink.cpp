#include "qt/qt_message_box_sink.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEventLoop>
#include <QMessageBox>
#include <QThread>
#include <future>

#include "qt/control_text.h"
#include "qt/dialog_window.h"

QtMessageBoxSink::QtMessageBoxSink() : m_context(new QObject()) {}

QtMessageBoxSink::~QtMessageBoxSink() {
    DismissAll();
    delete m_context;
}

namespace {

// The window a box belongs to: the active dialog window, else the main window (the shown
// dialog window that has no owner itself).
QWidget* OwnerWindow() {
    if (auto* active = dynamic_cast<DialogWindow*>(QApplication::activeWindow()))
        return active;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* window = dynamic_cast<DialogWindow*>(w);
            window && window->isVisible() && !window->parentWidget())
            return window;
    }
    return nullptr;
}

}  // namespace

void QtMessageBoxSink::Open(const std::string& caption, const std::string& text, bool question,
                            std::function<void(bool)> done) {
    // A transient of its window: centred over it and kept above it, yet never modal.
    auto* box = new QMessageBox(
        question ? QMessageBox::Question : QMessageBox::NoIcon, ToQString(caption), ToQString(text),
        question ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, OwnerWindow());
    if (question) {
        box->setDefaultButton(QMessageBox::No);
        box->setEscapeButton(QMessageBox::No);
    }
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->setModal(false);
    bool autoDismiss = false;
    {
        std::lock_guard lock(m_mutex);
        m_texts.push_back(text);
        ++m_open;
        m_boxes.append(box);
        autoDismiss = m_autoDismiss;
    }
    // Dismissed, or taken down with its window: either way the caller goes on, once.
    // A box being destroyed is no QMessageBox any more: its entry is left to turn null.
    auto finish = [this, box, pending = std::make_shared<bool>(true), done = std::move(done)](
                      bool destroyed, bool yes) {
        if (!*pending)
            return;
        *pending = false;
        {
            std::lock_guard lock(m_mutex);
            --m_open;
            m_boxes.removeIf([box, destroyed](const QPointer<QMessageBox>& open) {
                return open.isNull() || (!destroyed && open.get() == box);
            });
        }
        done(yes);
    };
    QObject::connect(box, &QDialog::finished, m_context, [finish, box](int result) {
        QAbstractButton* clicked = box->clickedButton();
        finish(false, result == QMessageBox::Yes ||
                          (clicked && box->standardButton(clicked) == QMessageBox::Yes));
    });
    QObject::connect(box, &QObject::destroyed, m_context, [finish] { finish(true, false); });
    box->show();
    if (autoDismiss) {
        const int answer = question ? QMessageBox::No : QMessageBox::Ok;
        QMetaObject::invokeMethod(
            box, [box, answer] { box->done(answer); }, Qt::QueuedConnection);
    }
}

bool QtMessageBoxSink::ShowAndWait(const std::string& caption, const std::string& text,
                                   bool question) {
    if (!qApp)
        return false;
    if (QThread::currentThread() == qApp->thread()) {
        // The window thread keeps running its events while the box is up.
        QEventLoop loop;
        bool finished = false;
        bool answer = false;
        Open(caption, text, question, [&](bool yes) {
            finished = true;
            answer = yes;
            loop.quit();
        });
        if (!finished)
            loop.exec();
        return answer;
    }
    auto dismissed = std::make_shared<std::promise<bool>>();
    std::future<bool> waited = dismissed->get_future();
    QMetaObject::invokeMethod(
        m_context,
        [this, caption, text, question, dismissed] {
            Open(caption, text, question, [dismissed](bool yes) { dismissed->set_value(yes); });
        },
        Qt::QueuedConnection);
    return waited.get();
}

void QtMessageBoxSink::Show(const std::string& caption, const std::string& text) {
    ShowAndWait(caption, text, false);
}

bool QtMessageBoxSink::Ask(const std::string& caption, const std::string& text) {
    return ShowAndWait(caption, text, true);
}

void QtMessageBoxSink::DismissAll() {
    QList<QPointer<QMessageBox>> boxes;
    {
        std::lock_guard lock(m_mutex);
        boxes = m_boxes;
    }
    for (const QPointer<QMessageBox>& box : boxes) {
        if (box)
            box->done(box->button(QMessageBox::Ok) ? QMessageBox::Ok : QMessageBox::No);
    }
}

void QtMessageBoxSink::SetAutoDismiss(bool autoDismiss) {
    std::lock_guard lock(m_mutex);
    m_autoDismiss = autoDismiss;
}

std::vector<std::string> QtMessageBoxSink::ShownTexts() const {
    std::lock_guard lock(m_mutex);
    return m_texts;
}

std::size_t QtMessageBoxSink::OpenCount() const {
    std::lock_guard lock(m_mutex);
    return m_open;
}

QList<QMessageBox*> QtMessageBoxSink::OpenBoxes() const {
    std::lock_guard lock(m_mutex);
    QList<QMessageBox*> boxes;
    for (const QPointer<QMessageBox>& box : m_boxes) {
        if (box)
            boxes.append(box.data());
    }
    return boxes;
}
