#pragma once
// Every message box of the program: caption "Pellacor", an OK button, no owner window.
// The calling thread waits until the box is dismissed; the host decides how it is shown.
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

inline constexpr const char* kMessageBoxCaption = "Pellacor";

class MessageBoxSink {
  public:
    virtual ~MessageBoxSink() = default;
    // Shows the box and returns once the user has dismissed it.
    virtual void Show(const std::string& caption, const std::string& text) = 0;
    // A question with Yes and No, No the default; true for Yes. Waits as Show does.
    virtual bool Ask(const std::string& caption, const std::string& text) {
        Show(caption, text);
        return false;
    }
};

// The host installs its sink at start; with none installed boxes are recorded and dismissed.
void SetMessageBoxSink(MessageBoxSink* sink);
MessageBoxSink* GetMessageBoxSink();

void MessageBox(const std::string& text);
// A Yes/No question with the same caption; true only when the user chose Yes.
bool AskYesNo(const std::string& text);

// The texts of the boxes shown on this thread while it lives (nested captures each get
// them): what an operation's record says the screen said.
class MessageCapture {
  public:
    MessageCapture();
    ~MessageCapture();
    MessageCapture(const MessageCapture&) = delete;
    MessageCapture& operator=(const MessageCapture&) = delete;
    const std::vector<std::string>& Texts() const { return m_texts; }

  private:
    friend void MessageBox(const std::string& text);
    MessageCapture* m_outer;
    std::vector<std::string> m_texts;
};

// Records every box in order and dismisses it at once: the headless host and the tests.
class RecordingMessageBoxSink : public MessageBoxSink {
  public:
    void Show(const std::string& caption, const std::string& text) override;
    // Recorded as a box is; answered from the queued answers, else with SetAnswer's value
    // (No until set).
    bool Ask(const std::string& caption, const std::string& text) override;
    void SetAnswer(bool yes);
    void QueueAnswer(bool yes);
    std::vector<std::string> Texts() const;
    std::size_t Count() const;
    void Clear();
    // Waits until at least `count` boxes were shown; false on time-out.
    bool WaitForCount(std::size_t count, std::chrono::milliseconds timeout) const;

  private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::vector<std::string> m_texts;
    bool m_answer = false;       // the standing answer
    std::deque<bool> m_answers;  // answers for the next questions, first
};

// The sink used when the host installed none; tests read it.
RecordingMessageBoxSink& DefaultMessageBoxRecorder();
