#include "link/reply_wait.h"

#include <atomic>

namespace {
constexpr std::chrono::milliseconds kNetDefault{1000};
constexpr std::chrono::milliseconds kUsbDefault{2000};
std::atomic<long long> g_timeoutMs{-1};  // -1: the links' own
std::atomic<LinkFailure> g_failure{LinkFailure::None};
}  // namespace

void SetReplyTimeout(std::optional<std::chrono::milliseconds> timeout) {
    g_timeoutMs = timeout ? timeout->count() : -1;
}

std::chrono::milliseconds NetReplyTimeout() {
    const long long ms = g_timeoutMs;
    return ms < 0 ? kNetDefault : std::chrono::milliseconds(ms);
}

std::chrono::milliseconds UsbReplyTimeout() {
    const long long ms = g_timeoutMs;
    return ms < 0 ? kUsbDefault : std::chrono::milliseconds(ms);
}

void NoteLinkFailure(LinkFailure failure) {
    LinkFailure none = LinkFailure::None;
    g_failure.compare_exchange_strong(none, failure);
}

LinkFailure LastLinkFailure() {
    return g_failure;
}

void ClearLinkFailure() {
    g_failure = LinkFailure::None;
}
