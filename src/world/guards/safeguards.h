// What every port shares to protect the world from strangers: the log-in
// throttle, the connection caps of players (of every player port together)
// and of bots, and the log that says a repeated event once a second with a
// count. One `Safeguards` lives with the connections' hub; nothing here knows
// how a connection speaks.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <string_view>

#include "world/guards/connection_caps.h"
#include "world/guards/connection_limits.h"
#include "world/guards/connection_timeouts.h"
#include "world/guards/login_throttle.h"
#include "world/guards/rate_limited_log.h"

namespace kelva::world {

class Safeguards {
 public:
  using Sink = std::function<void(const std::string&)>;
  Safeguards(const ConnectionLimits& limits, std::size_t maxPlayers, const Sink& log);

  // Sets the caps anew, e.g. once the world knows how many players its
  // descriptors can hold.
  void setCaps(const ConnectionLimits& limits, std::size_t maxPlayers);

  // Logs `line`, or counts it when a line of `key` was logged less than a
  // second ago.
  void logOnce(std::string_view key, std::string line);
  // Once a second: owed counts are logged, quiet throttles forgotten.
  void housekeeping();

  // The deadlines of a player connection and of a bot connection.
  static TimeoutLimits playerTimeouts(const ConnectionLimits& limits);
  static TimeoutLimits botTimeouts(const ConnectionLimits& limits);

  LoginThrottle throttle;
  ConnectionCaps players;
  ConnectionCaps bots;

 private:
  RateLimitedLog log_;
};

// What a connection still logging in is told when it is let go to make room
// for a newer one (see `ConnectionCaps`).
inline constexpr const char* kMadeRoom = "too many connections were logging in at once; yours waited longest";

// How long before an idle drop the player is warned: a minute, or half the
// idle time when that is shorter.
std::chrono::seconds idleWarningLead(std::chrono::seconds idle);

// "30 minutes", "1 minute", "45 seconds": a duration as a player reads it.
std::string spokenDuration(std::chrono::seconds d);

}  // namespace kelva::world
