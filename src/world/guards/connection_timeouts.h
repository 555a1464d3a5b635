// When a connection has waited too long: to log in, or, once in the world,
// between two lines.
//
// One `ConnectionTimeouts` goes with each connection, whatever its port. The
// port reports the log-in and every line it reads, and asks `check` from a
// timer (`next` says when there is something to check); `check` says what is
// due: the log-in deadline has passed, the idle player should be warned, or
// the idle player must go. A warning is given once per quiet spell. Time is
// passed in by the caller, so tests need no sleeping.
#pragma once

#include <chrono>
#include <optional>

namespace kelva::world {

// A zero duration means no such limit.
struct TimeoutLimits {
  std::chrono::milliseconds logIn{0};
  std::chrono::milliseconds idle{0};
  // How long before an idle drop the connection is warned (clamped to the idle time).
  std::chrono::milliseconds idleWarning{std::chrono::minutes(1)};
};

class ConnectionTimeouts {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;
  enum class Due { kNothing, kLogInTooLate, kIdleWarning, kIdleTooLong };

  ConnectionTimeouts(const TimeoutLimits& limits, TimePoint connected);

  void loggedIn(TimePoint now);
  // A line came: the idle time starts again and a new warning may be given.
  void activity(TimePoint now);
  Due check(TimePoint now);
  // The next moment `check` may have something to say; none when no limit applies.
  std::optional<TimePoint> next() const;

  bool isLoggedIn() const { return loggedIn_; }

 private:
  TimeoutLimits limits_;
  TimePoint connected_;
  TimePoint lastActivity_;
  bool loggedIn_ = false;
  bool warned_ = false;
};

}  // namespace kelva::world
