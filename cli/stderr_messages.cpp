#include "cli/stderr_messages.h"

#include <cstdio>

#include "laminator/firmware_download.h"
#include "laminator/mode_commands.h"

void StderrMessageSink::Show(const std::string&, const std::string& text) {
    std::lock_guard lock(m_mutex);
    std::fprintf(stderr, "%s\n", text.c_str());
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
    std::lock_guard lock(m_mutex);
    for (const std::string& text : m_texts) {
        if (!IsSuccessMessage(text))
            return true;
    }
    return false;
}

bool IsSuccessMessage(const std::string& text) {
    return text == kModeSwitchSuccessful || text == kDownloadSuccessful;
}
