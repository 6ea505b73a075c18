#include "cli/stderr_messages.h"

#include <cstdio>

#include "cli/terminal_text.h"
#include "laminator/firmware_download.h"
#include "laminator/mode_commands.h"

void StderrMessageSink::Show(const std::string&, const std::string& text) {
    std::lock_guard lock(m_mutex);
    // A message may quote the laminator or a file.
    std::fprintf(stderr, "%s\n", EscapeControlsKeepingLines(text).c_str());
    std::fflush(stderr);
    m_texts.push_back(text);
}

std::vector<std::string> StderrMessageSink::Take() {
    std::lock_guard lock(m_mutex);
    std::vector<std::string> texts;
    texts.swap(m_texts);
    return texts;
}

bool StderrMessageSink::AnyFailure() const {
    return AnyFailureSince(0);
}

std::size_t StderrMessageSink::Count() const {
    std::lock_guard lock(m_mutex);
    return m_texts.size();
}

bool StderrMessageSink::AnyFailureSince(std::size_t first) const {
    std::lock_guard lock(m_mutex);
    for (std::size_t i = first; i < m_texts.size(); ++i) {
        if (!IsSuccessMessage(m_texts[i]))
            return true;
    }
    return false;
}

bool IsSuccessMessage(const std::string& text) {
    return text == kModeSwitchSuccessful || text == kDownloadSuccessful;
}
