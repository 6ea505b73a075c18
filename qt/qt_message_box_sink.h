#pragma once
// Message boxes as real QMessageBoxes: OK only, never modal, so several may be open and none
// blocks a window; each is a transient of the active dialog window (else the main window),
// so it opens centred over it and stays above it. The calling thread waits until its box is
// dismissed.
#include <QList>
#include <QPointer>
#include <mutex>
#include <string>
#include <vector>

#include "framework/message_box.h"

class QMessageBox;
class QObject;

class QtMessageBoxSink : public MessageBoxSink {
  public:
    // Create on the GUI thread.
    QtMessageBoxSink();
    // Dismisses every open box, so no caller waits for ever.
    ~QtMessageBoxSink() override;
    QtMessageBoxSink(const QtMessageBoxSink&) = delete;
    QtMessageBoxSink& operator=(const QtMessageBoxSink&) = delete;

    void Show(const std::string& caption, const std::string& text) override;
    // Yes and No, No the default; a box taken down unanswered counts as No.
    bool Ask(const std::string& caption, const std::string& text) override;

    // For tests and unattended runs, where nobody clicks.
    // GUI thread: presses OK on every open box (No on a question).
    void DismissAll();
    // Boxes shown from now on are dismissed as soon as they are on screen.
    void SetAutoDismiss(bool autoDismiss);
    // Any thread: every text shown so far, in order, and how many boxes are open.
    std::vector<std::string> ShownTexts() const;
    std::size_t OpenCount() const;
    // GUI thread: the open boxes, oldest first.
    QList<QMessageBox*> OpenBoxes() const;

  private:
    // GUI thread. Opens a box (a question when `question`) and calls `done` once it is
    // dismissed, with true when Yes was chosen.
    void Open(const std::string& caption, const std::string& text, bool question,
              std::function<void(bool)> done);
    // Any thread: shows the box and waits for its answer.
    bool ShowAndWait(const std::string& caption, const std::string& text, bool question);

    QObject* m_context = nullptr;
    mutable std::mutex m_mutex;
    std::vector<std::string> m_texts;
    std::size_t m_open = 0;
    bool m_autoDismiss = false;
    QList<QPointer<QMessageBox>> m_boxes;
};
