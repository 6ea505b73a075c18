#pragma once
// What the virtual USB device's stream needs of each system's sockets; the framing and
// the time limits above it are shared.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace usb_sim_os {

inline constexpr int kNothingWaiting = -2;

void Close(std::intptr_t handle);
// Bytes read, 0 when the peer closed (or reset), -1 on failure (`error` says why),
// kNothingWaiting when no byte has arrived.
int ReceiveSome(std::intptr_t handle, std::uint8_t* data, std::size_t capacity, std::string& error);
// Bytes sent, -1 on failure, kNothingWaiting when the send buffer is full.
int SendSome(std::intptr_t handle, const std::uint8_t* data, std::size_t length);
// 1 when the socket can be read (or written), 0 on time-out, -1 on failure.
int Wait(std::intptr_t handle, bool forWriting, std::chrono::milliseconds timeout);

}  // namespace usb_sim_os
