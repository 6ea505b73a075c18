#pragma once
// How long the links wait for a reply, and why the last exchange failed: a front end that
// serves scripts stops at the first reply that did not come and says so.
#include <chrono>
#include <optional>

// nullopt restores each link's own wait: 1000 ms over TCP, 2000 ms over USB.
void SetReplyTimeout(std::optional<std::chrono::milliseconds> timeout);
std::chrono::milliseconds NetReplyTimeout();
std::chrono::milliseconds UsbReplyTimeout();

enum class LinkFailure {
    None,
    NoReply,  // the wait for a reply ran out: the laminator is silent, not gone
    Broken,   // the connection or device failed or was closed
};
// Kept until cleared; the first failure since then wins.
void NoteLinkFailure(LinkFailure failure);
LinkFailure LastLinkFailure();
void ClearLinkFailure();
