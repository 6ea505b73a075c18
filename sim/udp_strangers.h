#pragma once

// Hosts on the discovery port that are not laminators, as a searcher may meet them: stray
// fragments from other addresses, a host answering settings reads with settings of its own,
// and a flood of replies of laminators that do not exist. All stay on loopback.

#include <array>
#include <cstdint>

#include "platform/sockets.h"
#include "sim/frame_log.h"

namespace pellacor::sim {

// From 127.0.0.9 the head of a made-up reply, from 127.0.0.10 its tail, and from 127.0.0.11
// a short piece: pieces a receiver that joins any datagrams would stitch into a ghost.
void SendStrayFragments(const platform::Endpoint& peer, FrameLog& log);

// From 127.0.0.12: a settings reply for `mac` naming "ROGUE" with a static 10.66.66.66.
void SendRogueSettings(const platform::Endpoint& peer, const std::array<uint8_t, 6>& mac,
                       FrameLog& log);

// `count` distinct search replies from `fd`, paced so loopback keeps them all.
void SendFlood(platform::SocketId fd, const platform::Endpoint& peer, int count, FrameLog& log);

}  // namespace pellacor::sim
