// How many accounts may be made, from one address and in the whole world,
// within a sliding window (an hour by default): a few per address, a few
// dozen in all, so nobody fills the world with throw-away names. Only
// sign-ups let through are counted, which also bounds what it remembers.
#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <map>
#include <string>

namespace kelva::world {

class SignUpThrottle {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;

  explicit SignUpThrottle(std::size_t perAddress = 3, std::size_t total = 30,
                          std::chrono::seconds window = std::chrono::hours(1))
      : perAddress_(perAddress), total_(total), window_(window) {}

  // Whether one more sign-up from `source` may go ahead at `now`; it is
  // counted when so.
  bool admit(const std::string& source, TimePoint now);

 private:
  std::size_t perAddress_;
  std::size_t total_;
  std::chrono::seconds window_;
  std::deque<TimePoint> all_;
  std::map<std::string, std::deque<TimePoint>> bySource_;
};

}  // namespace kelva::world
