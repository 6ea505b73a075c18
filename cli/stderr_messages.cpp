#include "cli/stderr_messages.h"

#include <cstdio>
#include <iterator>
#include <nlohmann/json.hpp>

#include "cli/terminal_text.h"
#include "laminator/firmware_download.h"
#include "laminator/mode_commands.h"
#include "link/reply_wait.h"

namespace {
bool IsLinkFailureText(const std::string& text) {
    return text == "The network interface is disconnected!" || text == "Failed to receive data!" ||
           text == "Send data error!";
}

std::string Seconds(std::chrono::milliseconds ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", static_cast<double>(ms.count()) / 1000.0);
    return text;
}
}  // namespace

std::string WithLinkCause(const std::string& text) {
    if (!IsLinkFailureText(text))
        return text;
    switch (LastLinkFailure()) {
        case LinkFailure::NoReply: {
            const bool tcp = text == "The network interface is disconnected!";
            return text + " (no reply within " +
                   Seconds(tcp ? NetReplyTimeout() : UsbReplyTimeout()) + " s)";
        }
        case LinkFailure::Broken:
            return text + " (the connection failed)";
        case LinkFailure::None:
            break;
    }
    return text;
}

void StderrMessageSink::Show(const std::string&, const std::string& text) {
    std::lock_guard lock(m_mutex);
    const std::string shown = WithLinkCause(text);
    if (m_jsonLines) {
        nlohmann::json line = {{"message", shown}};
        if (!m_target.empty())
            line["target"] = m_target;
        std::fprintf(stderr, "%s\n",
                     line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
    } else {
        // A message may quote the laminator or a file.
        const std::string escaped = EscapeControlsKeepingLines(shown);
        if (m_target.empty())
            std::fprintf(stderr, "%s\n", escaped.c_str());
        else
            std::fprintf(stderr, "%s: %s\n", m_target.c_str(), escaped.c_str());
    }
    std::fflush(stderr);
    m_texts.push_back(shown);
}

std::vector<std::string> StderrMessageSink::Take() {
    std::lock_guard lock(m_mutex);
    std::vector<std::string> texts;
    texts.swap(m_texts);
    return texts;
}

void StderrMessageSink::SetAsideForRun() {
    std::lock_guard lock(m_mutex);
    m_run.insert(m_run.end(), std::make_move_iterator(m_texts.begin()),
                 std::make_move_iterator(m_texts.end()));
    m_texts.clear();
}

std::vector<std::string> StderrMessageSink::TakeRun() {
    std::lock_guard lock(m_mutex);
    std::vector<std::string> texts;
    texts.swap(m_run);
    texts.insert(texts.end(), std::make_move_iterator(m_texts.begin()),
                 std::make_move_iterator(m_texts.end()));
    m_texts.clear();
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

void StderrMessageSink::SetTarget(const std::string& label) {
    std::lock_guard lock(m_mutex);
    m_target = label;
}

void StderrMessageSink::SetJsonLines(bool on) {
    std::lock_guard lock(m_mutex);
    m_jsonLines = on;
}

bool IsSuccessMessage(const std::string& text) {
    return text == kModeSwitchSuccessful || text == kDownloadSuccessful;
}
