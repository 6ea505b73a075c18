#pragma once
// The USB link: the laminator as a HID device (vendor id 5314) or a printing-class device.
// Every write goes to every open handle; every read reads every open handle into RxBuffer.
#include <array>
#include <chrono>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

inline constexpr int kUsbSlotCount = 10;
inline constexpr std::string_view kLaminatorVidText = "5314";

// Slot values: 0 never opened, -1 closed, a positive handle otherwise.
std::array<int, kUsbSlotCount> UsbHandleTable();

int OpenPrinterClassLink();  // 1 success, 0 failure (with its message)
int OpenHidLink();           // 1 when at least one laminator interface was opened
bool ProbeHidLaminator();    // true when the laminator's HID interface is present; silent
int CloseUsbLink();          // closes every slot that is not -1; always 1
// The listed names ("<kind>#vid_VVVV&pid_PPPP#<node>") of the devices the link holds open.
std::vector<std::string> OpenUsbInterfaces();
int UsbWrite();  // TxLength bytes of TxBuffer to every open handle; last count
int UsbRead();   // one reply from every open handle into RxBuffer; last count
// As UsbRead, for the reply to the request `command` names (its leading bytes). A laminator
// need not echo them: a frame is discarded (traced) only where it starts with another
// command this link sent whose reply timed out, being that late reply, and the read goes on
// waiting within the same time-out. When no reply comes, `command` is owed one.
int UsbReadReplyTo(std::span<const std::uint8_t> command);
bool ReadUsbReply();  // clears RxBuffer, UsbRead, "Failed to receive data!" on 0

// Takes the up to four characters after "VID_" and after "PID_" (any case).
bool ParseVidPid(std::string_view path, std::string& vid, std::string& pid);
