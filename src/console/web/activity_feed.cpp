#include "console/web/activity_feed.h"

#include <chrono>
#include <ctime>

namespace kelva::console::web {

void ActivityFeed::record(std::string_view event) noexcept {
  disk_.record(event);
  try {
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm utc{};
    gmtime_r(&now, &utc);
    char time[32];
    std::strftime(time, sizeof time, "%Y-%m-%d %H:%M:%S", &utc);
    std::lock_guard lock(mutex_);
    events_.push_back(FeedEvent{++last_, time, std::string(event)});
    while (events_.size() > kept_) events_.pop_front();
  } catch (...) {
    // Out of memory: the page misses one event, the game goes on.
  }
}

std::vector<FeedEvent> ActivityFeed::after(uint64_t after) const {
  std::lock_guard lock(mutex_);
  std::vector<FeedEvent> out;
  for (const FeedEvent& e : events_)
    if (e.number > after) out.push_back(e);
  return out;
}

}  // namespace kelva::console::web
