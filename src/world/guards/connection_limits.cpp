#include "world/guards/connection_limits.h"

#include <algorithm>

namespace kelva::world {

std::string notReadingReason(std::size_t limit) {
  return "it does not read its output (" + std::to_string(limit) + " bytes unsent)";
}

FloodBucket::FloodBucket(double perSecond, double burst)
    : perSecond_(perSecond), burst_(burst), tokens_(burst), lastRefill_(Clock::now()) {}

FloodBucket::Take FloodBucket::take(Clock::time_point now) {
  double elapsed = std::chrono::duration<double>(now - lastRefill_).count();
  lastRefill_ = now;
  tokens_ = std::min(burst_, tokens_ + elapsed * perSecond_);
  if (tokens_ >= 1.0) {
    tokens_ -= 1.0;
    return {};
  }
  ++dropped_;
  Take t{false, false, dropped_};
  if (now - lastWarning_ >= std::chrono::seconds(1)) {
    lastWarning_ = now;
    t.warn = true;
  }
  return t;
}

}  // namespace kelva::world
