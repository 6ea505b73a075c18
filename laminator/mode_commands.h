#pragma once
// Switch Mode and Send: one fixed or typed command to the laminator and one reply.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "laminator/laminator_view.h"
#include "laminator/link_exchange.h"

inline constexpr const char* kModeSwitchSuccessful = "Mode switch successful !";
inline constexpr const char* kRawCommandBadCharacter =
    "The command may hold only hexadecimal digits, blanks and line breaks!";
inline constexpr const char* kRawCommandTooLong = "The command is longer than 64 bytes!";
// A typed command fits the 64-byte work buffer.
inline constexpr std::size_t kRawCommandCapacity = 64;

// The bytes of a typed command, or the message telling why it cannot be sent.
struct ParsedCommand {
    std::vector<std::uint8_t> bytes;  // at most kRawCommandCapacity
    const char* error = nullptr;
};
ParsedCommand ParseTypedCommand(std::string_view text);

// The USB frames of a command: A5, the count of its bytes in the frame, up to 62 of them,
// zero padding to 64. No bytes still give one frame.
inline constexpr std::size_t kUsbFrameData = 62;
using UsbCommandFrame = std::array<std::uint8_t, 64>;
std::vector<UsbCommandFrame> UsbCommandFrames(const std::uint8_t* bytes, std::size_t n);

// The card-eject mode command of mode list entry `index`; none for any other index.
std::optional<std::string_view> ModeCommandText(int index);

// Sends the mode frame (A5-framed on both links) and reads one reply. Over USB it says
// "Mode switch successful !" only when the frame went out and a reply came; the link's
// own message tells any failure. True on success.
bool SwitchMode(LinkKind link, int index);

// Sends a typed hexadecimal command and reads one reply: over USB in A5 frames of up to
// 62 bytes, over Ethernet bare. A text that is not hexadecimal or holds more than 64 bytes
// sends nothing and says why. False when nothing could be sent. `reply`, when given, gets
// the bytes received: empty when no reply came.
bool SendRawCommand(LinkKind link, std::string_view text,
                    std::vector<std::uint8_t>* reply = nullptr);

// Worker procedures: the link in use, the mode selected and the command typed when they
// start; with no link up they do nothing.
int ModeSwitchWorker(LaminatorView* view);
int RawCommandWorker(LaminatorView* view);
