#pragma once
// What the network settings dialogs read and wrote, told to whoever keeps a record of it
// (the window's service record): the dialogs themselves keep none.
#include <chrono>
#include <functional>
#include <string>

#include "netsetup/net_protocol.h"

struct NetSettingsDone {
    enum class Kind { Read, Write };
    Kind kind = Kind::Read;
    std::string mac;  // as ReplyMacText writes it
    std::chrono::system_clock::time_point startTime;
    std::chrono::steady_clock::time_point started;
    NetResult result = kNetSuccess;
    NetSettings settings{};  // as read; for a write, what the dialog was opened with
    NetSettings sent{};      // a write's record as sent
    std::string message;     // the box shown, if any
};

using NetSettingsObserver = std::function<void(const NetSettingsDone&)>;
void SetNetSettingsObserver(NetSettingsObserver observer);
// On the worker that did it: the observer may write a record but never waits for the user.
void TellNetSettingsDone(const NetSettingsDone& done);
