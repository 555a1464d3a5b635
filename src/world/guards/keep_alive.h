// TCP keep-alive for a connected socket, so that a peer that vanished without
// a word (a cut cable, a sleeping laptop) is noticed and its connection
// closed, even when the world has nothing to send it.
#pragma once

#include <string>

#include "world/guards/connection_limits.h"

namespace kelva::world {

// Turns keep-alive on for the socket `fd` with the given timings, and bounds
// how long output may stay unacknowledged by the same total. Returns what
// failed, or "" (a failure leaves the connection usable, only unguarded).
std::string applyKeepAlive(int fd, const ConnectionLimits::KeepAlive& keepAlive);

// Whether the peer on `fd` has given no sign of life (no byte, no
// acknowledgement, not even of a keep-alive probe) for longer than the
// keep-alive allows a live peer to stay silent. The kernel's own bounds
// miss one case: once the world has sent a line that is never
// acknowledged, keep-alive stops and the time-out of unacknowledged output
// counts from that line, not from the last time the peer was heard, so a
// ghost could hold its name for twice as long. Asked once a second, this
// bounds every state alike.
bool peerLongSilent(int fd, const ConnectionLimits::KeepAlive& keepAlive);

}  // namespace kelva::world
