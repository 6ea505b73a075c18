#pragma once
// The Ethernet link: one TCP connection to the laminator's command port.
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

inline constexpr std::uint16_t kLaminatorTcpPort = 9100;
// How long one send or receive may wait for the laminator.
inline constexpr std::chrono::milliseconds kEthernetIoTimeout{1000};

// 0 no connection made, -1 after a failed attempt, otherwise the open socket.
extern std::atomic<int> EthernetSocket;

// The port to connect to: 9100, unless a test or the demo points it at the simulator.
void SetEthernetPort(std::uint16_t port);
std::uint16_t GetEthernetPort();

// Connects to the dotted-quad `address` within 5 s; 1000 ms send and receive time-outs.
// An address that is not a dotted quad is a failed attempt and nothing is sent.
bool ConnectEthernet(const std::string& address);
// Ends every connect under way now, as a failed attempt (Disconnect while connecting, a
// reconnect inside a transaction); later connects are not affected. Any thread, no wait.
void CancelEthernetConnect();
// Closes an open socket and sets EthernetSocket to 0.
void CloseEthernet();
// Sends TxLength bytes of TxBuffer; bytes sent, 0 on failure or when TxLength <= 0. After a
// receive that timed out or stopped short, the first send of a later transaction connects anew
// to the same laminator, so that a reply coming late is never taken for the answer to it.
int NetSend();
// As NetSend, without first discarding replies that came late: for the frames after the
// first of a transfer that is not answered, where there is nothing to discard.
int NetSendFollowing();
// Readies the link for frames that get no reply (firmware), sent with NetSendFollowing: a
// fresh connection after a reply in doubt, late replies discarded. The socket, or <= 0.
int NetBeginUnansweredTransfer();
// The open socket's send time-out; kEthernetIoTimeout unless a transfer widens it.
void SetEthernetSendTimeout(std::chrono::milliseconds limit);
// Clears RxBuffer and receives one reply: one receive, completed to a 64-byte block when the
// rest follows within 50 ms. With `expected` > 0 (the rest of a longer reply) it keeps
// receiving until that many bytes arrived or the time-out passed. "The network interface is
// disconnected!" on failure, time-out without any byte, or a closed connection.
bool NetReceive(std::size_t expected = 0);
// The number of bytes the last NetReceive delivered.
std::size_t LastReceivedLength();
