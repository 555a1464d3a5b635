#include "world/guards/rate_limited_log.h"

#include <utility>

namespace kelva::world {

RateLimitedLog::RateLimitedLog(Sink sink, std::chrono::milliseconds interval)
    : sink_(std::move(sink)), interval_(interval) {}

void RateLimitedLog::report(Entry& entry, std::string line, uint64_t times, TimePoint now) {
  if (times > 1)
    line += " (" + std::to_string(times) + " times in the last " +
            std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(now - entry.written).count()) +
            " ms)";
  sink_(line);
  entry.heldBack = 0;
  entry.latest.clear();
  entry.written = now;
}

void RateLimitedLog::write(std::string_view key, std::string line, TimePoint now) {
  auto [it, fresh] = entries_.try_emplace(std::string(key));
  Entry& entry = it->second;
  if (fresh || now - entry.written >= interval_) {
    // The lines held back since the last report are counted in this one.
    report(entry, std::move(line), entry.heldBack + 1, now);
    return;
  }
  ++entry.heldBack;
  entry.latest = std::move(line);
}

void RateLimitedLog::flush(TimePoint now) {
  for (auto it = entries_.begin(); it != entries_.end();) {
    Entry& entry = it->second;
    if (now - entry.written < interval_) {
      ++it;
    } else if (entry.heldBack > 0) {
      report(entry, std::move(entry.latest), entry.heldBack, now);
      ++it;
    } else {
      it = entries_.erase(it);
    }
  }
}

}  // namespace kelva::world
