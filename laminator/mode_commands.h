#pragma once
// Switch Mode and Send: one fixed or typed command to the laminator and one reply.
#include <optional>
#include <string>
#include <string_view>

#include "laminator/laminator_view.h"
#include "laminator/link_exchange.h"

inline constexpr const char* kModeSwitchSuccessful = "Mode switch successful !";
inline constexpr const char* kRawCommandBadCharacter =
    "The command may hold only hexadecimal digits, blanks and line breaks!";
inline constexpr const char* kRawCommandTooLong = "The command is longer than 64 bytes!";
// A typed command fits the 64-byte work buffer.
inline constexpr std::size_t kRawCommandCapacity = 64;

// The card-eject mode command of mode list entry `index`; none for any other index.
std::optional<std::string_view> ModeCommandText(int index);

// Sends the mode frame (A5-framed on both links) and reads one reply. Over USB it says
// "Mode switch successful !" only when the frame went out and a reply came; the link's
// own message tells any failure. True on success.
bool SwitchMode(LinkKind link, int index);

// Sends a typed hexadecimal command and reads one reply: over USB in A5 frames of up to
// 62 bytes, over Ethernet bare. A text that is not hexadecimal or holds more than 64 bytes
// sends nothing and says why. False when nothing could be sent.
bool SendRawCommand(LinkKind link, std::string_view text);

// Worker procedures: the link in use, the mode selected and the command typed when they
// start; with no link up they do nothing.
int ModeSwitchWorker(LaminatorView* view);
int RawCommandWorker(LaminatorView* view);
