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

}  // namespace kelva::world
