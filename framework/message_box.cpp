#include "framework/message_box.h"

#include <atomic>

namespace {
std::atomic<MessageBoxSink*> g_sink{nullptr};
thread_local MessageCapture* t_capture = nullptr;
}  // namespace

MessageCapture::MessageCapture() : m_outer(t_capture) {
    t_capture = this;
}

MessageCapture::~MessageCapture() {
    t_capture = m_outer;
}

void SetMessageBoxSink(MessageBoxSink* sink) {
    g_sink.store(sink);
}

MessageBoxSink* GetMessageBoxSink() {
    MessageBoxSink* sink = g_sink.load();
    return sink ? sink : &DefaultMessageBoxRecorder();
}

void MessageBox(const std::string& text) {
    for (MessageCapture* c = t_capture; c; c = c->m_outer)
        c->m_texts.push_back(text);
    GetMessageBoxSink()->Show(kMessageBoxCaption, text);
}

bool AskYesNo(const std::string& text) {
    return GetMessageBoxSink()->Ask(kMessageBoxCaption, text);
}

bool RecordingMessageBoxSink::Ask(const std::string& caption, const std::string& text) {
    bool yes = false;
    {
        std::lock_guard lock(m_mutex);
        yes = m_answer;
        if (!m_answers.empty()) {
            yes = m_answers.front();
            m_answers.pop_front();
        }
    }
    Show(caption, text);
    return yes;
}

void RecordingMessageBoxSink::SetAnswer(bool yes) {
    std::lock_guard lock(m_mutex);
    m_answer = yes;
}

void RecordingMessageBoxSink::QueueAnswer(bool yes) {
    std::lock_guard lock(m_mutex);
    m_answers.push_back(yes);
}

void RecordingMessageBoxSink::Show(const std::string&, const std::string& text) {
    {
        std::lock_guard lock(m_mutex);
        m_texts.push_back(text);
    }
    m_changed.notify_all();
}

std::vector<std::string> RecordingMessageBoxSink::Texts() const {
    std::lock_guard lock(m_mutex);
    return m_texts;
}

std::size_t RecordingMessageBoxSink::Count() const {
    std::lock_guard lock(m_mutex);
    return m_texts.size();
}

void RecordingMessageBoxSink::Clear() {
    std::lock_guard lock(m_mutex);
    m_texts.clear();
    m_answer = false;
    m_answers.clear();
}

bool RecordingMessageBoxSink::WaitForCount(std::size_t count,
                                           std::chrono::milliseconds timeout) const {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return m_texts.size() >= count; });
}

// Never destroyed: a worker may still show a box while the process exits.
RecordingMessageBoxSink& DefaultMessageBoxRecorder() {
    static auto* recorder = new RecordingMessageBoxSink();
    return *recorder;
}
