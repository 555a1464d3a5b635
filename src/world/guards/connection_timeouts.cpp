#include "world/guards/connection_timeouts.h"

#include <algorithm>

namespace kelva::world {

ConnectionTimeouts::ConnectionTimeouts(const TimeoutLimits& limits, TimePoint connected)
    : limits_(limits), connected_(connected), lastActivity_(connected) {
  limits_.idleWarning = std::clamp(limits_.idleWarning, std::chrono::milliseconds(0), limits_.idle);
}

void ConnectionTimeouts::loggedIn(TimePoint now) {
  loggedIn_ = true;
  activity(now);
}

void ConnectionTimeouts::activity(TimePoint now) {
  lastActivity_ = now;
  warned_ = false;
}

ConnectionTimeouts::Due ConnectionTimeouts::check(TimePoint now) {
  if (!loggedIn_) {
    if (limits_.logIn.count() > 0 && now - connected_ >= limits_.logIn) return Due::kLogInTooLate;
    return Due::kNothing;
  }
  if (limits_.idle.count() == 0) return Due::kNothing;
  auto quiet = now - lastActivity_;
  if (quiet >= limits_.idle) return Due::kIdleTooLong;
  if (!warned_ && limits_.idleWarning.count() > 0 && quiet >= limits_.idle - limits_.idleWarning) {
    warned_ = true;
    return Due::kIdleWarning;
  }
  return Due::kNothing;
}

std::optional<ConnectionTimeouts::TimePoint> ConnectionTimeouts::next() const {
  if (!loggedIn_) {
    if (limits_.logIn.count() == 0) return std::nullopt;
    return connected_ + limits_.logIn;
  }
  if (limits_.idle.count() == 0) return std::nullopt;
  if (!warned_ && limits_.idleWarning.count() > 0) return lastActivity_ + limits_.idle - limits_.idleWarning;
  return lastActivity_ + limits_.idle;
}

}  // namespace kelva::world
