#pragma once
// Message boxes on the command line: each text on standard error as the window would show
// it, and kept, so a command can tell a failure from a success and put the texts in JSON.
// While a laminator is served its texts are named after it, and a reply that did not come
// says so after the window's text.
#include <mutex>
#include <string>
#include <vector>

#include "framework/message_box.h"

class StderrMessageSink : public MessageBoxSink {
  public:
    void Show(const std::string& caption, const std::string& text) override;
    // The texts shown since the last call, and forgets them.
    std::vector<std::string> Take();
    // Keeps the texts shown so far for the whole run (said outside any laminator) and starts
    // afresh; TakeRun gives them back, followed by any shown since.
    void SetAsideForRun();
    std::vector<std::string> TakeRun();
    // True when a text shown since the last Take reports a failure.
    bool AnyFailure() const;
    // Texts shown since the last Take; AnyFailureSince(n) looks only at those after the nth.
    std::size_t Count() const;
    bool AnyFailureSince(std::size_t first) const;
    // Put in front of each text on standard error ("tcp:127.0.0.2:9100"); empty for none.
    void SetTarget(const std::string& label);
    // With --json standard error carries JSON lines only: {"target", "message"}.
    void SetJsonLines(bool on);

  private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_texts;
    std::vector<std::string> m_run;
    std::string m_target;
    bool m_jsonLines = false;
};

// The texts that report a success rather than a failure.
bool IsSuccessMessage(const std::string& text);
// The window's text with the cause after it when the link knows it ("... (no reply within
// 1 s)").
std::string WithLinkCause(const std::string& text);
