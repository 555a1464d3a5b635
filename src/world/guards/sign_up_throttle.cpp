#include "world/guards/sign_up_throttle.h"

namespace kelva::world {

bool SignUpThrottle::admit(const std::string& source, TimePoint now) {
  auto forget = [&](std::deque<TimePoint>& times) {
    while (!times.empty() && now - times.front() >= window_) times.pop_front();
  };
  forget(all_);
  for (auto it = bySource_.begin(); it != bySource_.end();) {
    forget(it->second);
    it = it->second.empty() ? bySource_.erase(it) : std::next(it);
  }
  std::deque<TimePoint>& mine = bySource_[source];
  if (all_.size() >= total_ || mine.size() >= perAddress_) {
    if (mine.empty()) bySource_.erase(source);
    return false;
  }
  all_.push_back(now);
  mine.push_back(now);
  return true;
}

}  // namespace kelva::world
